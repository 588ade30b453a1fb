// exiv2 0.27 still hands out std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

#include <cmath>
#include <mutex>
#include <string>
#include <type_traits>

#include "platform/images/image_metadata.h"

namespace sorvi {
namespace {

// Degrees + minutes / 60 + seconds / 3600 from up to three components, in
// double precision. A zero denominator makes the value unusable.
template <typename Pair>
std::optional<double> degreesOfRationals(const std::vector<Pair>& parts) {
  if (parts.empty()) return std::nullopt;
  double degrees = 0;
  double scale = 1;
  for (std::size_t i = 0; i < parts.size() && i < 3; ++i) {
    if (parts[i].second == 0) return std::nullopt;
    degrees += static_cast<double>(parts[i].first) / static_cast<double>(parts[i].second) / scale;
    scale *= 60;
  }
  return degrees;
}

template <typename Number>
std::optional<double> degreesOfNumbers(const std::vector<Number>& parts) {
  if (parts.empty()) return std::nullopt;
  double degrees = 0;
  double scale = 1;
  for (std::size_t i = 0; i < parts.size() && i < 3; ++i) {
    degrees += static_cast<double>(parts[i]) / scale;
    scale *= 60;
  }
  return degrees;
}

template <typename T>
const std::vector<T>* valuesOf(const Exiv2::Value& value) {
  const auto* typed = dynamic_cast<const Exiv2::ValueType<T>*>(&value);
  return typed == nullptr ? nullptr : &typed->value_;
}

PropertyValue degreesEntry(const Exiv2::Value& value) {
  std::optional<double> degrees;
  switch (value.typeId()) {
    case Exiv2::unsignedRational:
      if (const auto* parts = valuesOf<Exiv2::URational>(value))
        degrees = degreesOfRationals(*parts);
      break;
    case Exiv2::signedRational:
      if (const auto* parts = valuesOf<Exiv2::Rational>(value))
        degrees = degreesOfRationals(*parts);
      break;
    case Exiv2::unsignedShort:
      if (const auto* parts = valuesOf<std::uint16_t>(value)) degrees = degreesOfNumbers(*parts);
      break;
    case Exiv2::unsignedLong:
      if (const auto* parts = valuesOf<std::uint32_t>(value)) degrees = degreesOfNumbers(*parts);
      break;
    case Exiv2::signedShort:
      if (const auto* parts = valuesOf<std::int16_t>(value)) degrees = degreesOfNumbers(*parts);
      break;
    case Exiv2::signedLong:
      if (const auto* parts = valuesOf<std::int32_t>(value)) degrees = degreesOfNumbers(*parts);
      break;
    case Exiv2::tiffFloat:
      if (const auto* parts = valuesOf<float>(value)) degrees = degreesOfNumbers(*parts);
      break;
    case Exiv2::tiffDouble:
      if (const auto* parts = valuesOf<double>(value)) degrees = degreesOfNumbers(*parts);
      break;
    default:
      break;
  }
  // A NaN or infinity stored as a TIFF float or double is no position.
  if (!degrees || !std::isfinite(*degrees)) return OtherKindValue{};
  return *degrees;
}

// Text up to its first NUL, as stored; anything but ASCII type is another kind.
PropertyValue textEntry(const Exiv2::Value& value) {
  if (value.typeId() != Exiv2::asciiString) return OtherKindValue{};
  return value.toString();
}

void copyEntry(const Exiv2::ExifData& exif, const char* exiv2Key, PropertyGroup& group,
               const char* name, PropertyValue (*convert)(const Exiv2::Value&)) {
  const auto found = exif.findKey(Exiv2::ExifKey(exiv2Key));
  if (found != exif.end()) group.emplace(name, convert(found->value()));
}

bool hasGroup(const Exiv2::ExifData& exif, const std::string& groupName) {
  for (const Exiv2::Exifdatum& datum : exif) {
    if (datum.groupName() == groupName) return true;
  }
  return false;
}

ImageMetadata metadataOf(const Exiv2::ExifData& exif) {
  ImageMetadata metadata;
  ImageProperties& properties = metadata.properties.emplace();
  if (hasGroup(exif, "Photo")) {
    PropertyGroup& group = properties.exif.emplace();
    copyEntry(exif, "Exif.Photo.DateTimeOriginal", group, kExifDateTimeOriginal, textEntry);
  }
  if (hasGroup(exif, "GPSInfo")) {
    PropertyGroup& group = properties.gps.emplace();
    copyEntry(exif, "Exif.GPSInfo.GPSLatitude", group, kGpsLatitude, degreesEntry);
    copyEntry(exif, "Exif.GPSInfo.GPSLatitudeRef", group, kGpsLatitudeRef, textEntry);
    copyEntry(exif, "Exif.GPSInfo.GPSLongitude", group, kGpsLongitude, degreesEntry);
    copyEntry(exif, "Exif.GPSInfo.GPSLongitudeRef", group, kGpsLongitudeRef, textEntry);
  }
  const auto orientation = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
  if (orientation != exif.end() && orientation->count() > 0) {
    const long value = orientation->toLong(0);
    if (value >= 1 && value <= 8) metadata.orientation = static_cast<int>(value);
  }
  return metadata;
}

}  // namespace

void initialiseExiv2() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::LogMsg::setHandler(nullptr);
    Exiv2::XmpParser::initialize();
  });
}

ImageMetadata readFileMetadata(std::span<const std::uint8_t> file) {
  initialiseExiv2();
  try {
    Exiv2::Image::AutoPtr image =
        Exiv2::ImageFactory::open(file.data(), static_cast<long>(file.size()));
    if (image.get() == nullptr) return {};
    try {
      image->readMetadata();
    } catch (...) {
      // A file cut short or damaged after its Exif block (a later chunk or
      // segment, XMP, an ICC profile) still has that block, already decoded.
    }
    return metadataOf(image->exifData());
  } catch (...) {
    return {};
  }
}

ImageMetadata readExifBlockMetadata(std::span<const std::uint8_t> tiffBlock) {
  initialiseExiv2();
  try {
    Exiv2::ExifData exif;
    Exiv2::ExifParser::decode(exif, tiffBlock.data(), static_cast<std::uint32_t>(tiffBlock.size()));
    return metadataOf(exif);
  } catch (...) {
    return {};
  }
}

}  // namespace sorvi
#pragma GCC diagnostic pop
