#include "metadata/capture_date.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace sorvi {
namespace {

// Reads `count` ASCII digits at `at`; -1 when any of them is not a digit.
int digitsAt(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<std::string> captureDateToUtc(std::string_view stored) {
  // yyyy:MM:dd HH:mm:ss, nothing before or after.
  if (stored.size() != 19 || stored[4] != ':' || stored[7] != ':' || stored[10] != ' ' ||
      stored[13] != ':' || stored[16] != ':') {
    return std::nullopt;
  }
  const int year = digitsAt(stored, 0, 4);
  const int month = digitsAt(stored, 5, 2);
  const int day = digitsAt(stored, 8, 2);
  const int hour = digitsAt(stored, 11, 2);
  const int minute = digitsAt(stored, 14, 2);
  const int second = digitsAt(stored, 17, 2);
  if (year < 1 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 59 || day > daysInMonth(year, month)) {
    return std::nullopt;
  }

  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;  // let the zone's rules say whether DST was in force
  errno = 0;
  const std::time_t moment = std::mktime(&local);
  if (moment == static_cast<std::time_t>(-1) && errno != 0) return std::nullopt;

  std::tm utc{};
  if (gmtime_r(&moment, &utc) == nullptr) return std::nullopt;
  char buffer[64];
  const int length =
      std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900,
                    utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) return std::nullopt;
  return std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace sorvi
