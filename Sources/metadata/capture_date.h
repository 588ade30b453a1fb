#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sorvi {

// Reads "yyyy:MM:dd HH:mm:ss" as wall-clock time in the process's local time
// zone (TZ honoured) and writes that moment as ISO 8601 UTC, e.g.
// 2023-06-15T12:34:56Z. Absent when the text is not exactly in that form or
// names no valid date and time.
std::optional<std::string> captureDateToUtc(std::string_view stored);

}  // namespace sorvi
