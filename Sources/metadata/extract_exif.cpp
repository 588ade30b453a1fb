#include "metadata/extract_exif.h"

#include <array>
#include <charconv>
#include <cmath>

#include "metadata/capture_date.h"

namespace sorvi {
namespace {

template <typename T>
const T* entryOfKind(const PropertyGroup& group, const char* key) {
  const auto found = group.find(key);
  return found == group.end() ? nullptr : std::get_if<T>(&found->second);
}

// A number of degrees; NaN and the infinities name no place.
const double* degreesEntry(const PropertyGroup& group, const char* key) {
  const auto* degrees = entryOfKind<double>(group, key);
  return degrees != nullptr && std::isfinite(*degrees) ? degrees : nullptr;
}

std::optional<std::string> dateOf(const ImageProperties& properties) {
  if (!properties.exif) return std::nullopt;
  const auto* stored = entryOfKind<std::string>(*properties.exif, kExifDateTimeOriginal);
  if (stored == nullptr) return std::nullopt;
  // A text the pattern cannot read is passed on as stored.
  return captureDateToUtc(*stored).value_or(*stored);
}

std::optional<std::string> positionOf(const ImageProperties& properties) {
  if (!properties.gps) return std::nullopt;
  const PropertyGroup& gps = *properties.gps;
  const auto* latitude = degreesEntry(gps, kGpsLatitude);
  if (latitude == nullptr) return std::nullopt;
  const auto* latitudeRef = entryOfKind<std::string>(gps, kGpsLatitudeRef);
  if (latitudeRef == nullptr) return std::nullopt;
  const auto* longitude = degreesEntry(gps, kGpsLongitude);
  if (longitude == nullptr) return std::nullopt;
  const auto* longitudeRef = entryOfKind<std::string>(gps, kGpsLongitudeRef);
  if (longitudeRef == nullptr) return std::nullopt;

  // Whatever sign the stored number has, the reference alone negates it.
  const double signedLatitude = *latitudeRef == "S" ? -*latitude : *latitude;
  const double signedLongitude = *longitudeRef == "W" ? -*longitude : *longitude;
  return formatPosition(signedLatitude, signedLongitude);
}

void appendFixed6(std::string& out, double value) {
  // Large enough for any double in fixed notation with six decimals.
  std::array<char, 400> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::fixed, 6);
  out.append(buffer.data(), result.ptr);
}

}  // namespace

std::string formatPosition(double latitude, double longitude) {
  std::string text;
  appendFixed6(text, latitude);
  text += ',';
  appendFixed6(text, longitude);
  return text;
}

std::optional<ExifData> extractExif(const std::optional<ImageProperties>& properties) {
  if (!properties) return std::nullopt;
  ExifData data{dateOf(*properties), positionOf(*properties)};
  if (!data.date_taken && !data.gps) return std::nullopt;
  return data;
}

}  // namespace sorvi
