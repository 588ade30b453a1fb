#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>

namespace sorvi {

// A value stored in a form that is neither text nor a number.
struct OtherKindValue {
  bool operator==(const OtherKindValue&) const = default;
};

// One metadata entry as the image source found it: text, a number of
// degrees (or other unit), or something else.
using PropertyValue = std::variant<OtherKindValue, std::string, double>;

// One group of entries, keyed by the names below.
using PropertyGroup = std::map<std::string, PropertyValue>;

// The properties of image 0 that photo metadata is read from. A group that
// the file does not have is absent.
struct ImageProperties {
  std::optional<PropertyGroup> exif;
  std::optional<PropertyGroup> gps;
};

// Entry names. Latitude and longitude are unsigned degrees; the references
// carry the hemisphere.
inline constexpr const char* kExifDateTimeOriginal = "DateTimeOriginal";
inline constexpr const char* kGpsLatitude = "Latitude";
inline constexpr const char* kGpsLatitudeRef = "LatitudeRef";
inline constexpr const char* kGpsLongitude = "Longitude";
inline constexpr const char* kGpsLongitudeRef = "LongitudeRef";

}  // namespace sorvi
