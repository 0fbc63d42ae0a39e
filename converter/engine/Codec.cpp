#include "converter/engine/Codec.h"

#include "converter/core/ConversionError.h"
#include "converter/engine/BmpCodec.h"
#include "converter/engine/GifCodec.h"
#include "converter/engine/JpegCodec.h"
#include "converter/engine/PngCodec.h"
#include "converter/engine/TiffCodec.h"
#include "converter/engine/WebpCodec.h"

#include <algorithm>
#include <array>

namespace karvelo::converter {

namespace {

bool startsWith(std::span<const std::uint8_t> head, std::initializer_list<int> signature,
                std::size_t offset = 0) {
  if (head.size() < offset + signature.size()) {
    return false;
  }
  return std::equal(signature.begin(), signature.end(), head.begin() + offset,
                    [](int expected, std::uint8_t actual) { return expected == actual; });
}

}  // namespace

std::optional<PictureFormat> detectFormat(std::span<const std::uint8_t> head) {
  if (startsWith(head, {0xFF, 0xD8, 0xFF})) {
    return PictureFormat::Jpeg;
  }
  if (startsWith(head, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})) {
    return PictureFormat::Png;
  }
  if (startsWith(head, {'R', 'I', 'F', 'F'}) && startsWith(head, {'W', 'E', 'B', 'P'}, 8)) {
    return PictureFormat::Webp;
  }
  if (startsWith(head, {'G', 'I', 'F', '8', '7', 'a'}) ||
      startsWith(head, {'G', 'I', 'F', '8', '9', 'a'})) {
    return PictureFormat::Gif;
  }
  if (startsWith(head, {'I', 'I', 42, 0}) || startsWith(head, {'M', 'M', 0, 42})) {
    return PictureFormat::Tiff;
  }
  if (startsWith(head, {'B', 'M'}) && head.size() >= 14) {
    return PictureFormat::Bmp;
  }
  return std::nullopt;
}

std::unique_ptr<Codec> codecFor(PictureFormat format) {
  switch (format) {
    case PictureFormat::Jpeg:
      return std::make_unique<JpegCodec>();
    case PictureFormat::Png:
      return std::make_unique<PngCodec>();
    case PictureFormat::Webp:
      return std::make_unique<WebpCodec>();
    case PictureFormat::Bmp:
      return std::make_unique<BmpCodec>();
    case PictureFormat::Gif:
      return std::make_unique<GifCodec>();
    case PictureFormat::Tiff:
      return std::make_unique<TiffCodec>();
  }
  return nullptr;
}

void damagedPicture(const std::string& reason) {
  throw ConversionError(ExitCode::DamagedPicture, "the picture is damaged: " + reason);
}

void checkFormatLimit(PixelSize size, std::uint32_t maxSide, const char* formatName) {
  if (size.width > maxSide || size.height > maxSide) {
    throw ConversionError(ExitCode::PictureTooLarge, std::string("the result is too large for ") +
                                                         formatName + " (" +
                                                         std::to_string(size.width) + " x " +
                                                         std::to_string(size.height) + " pixels)");
  }
}

}  // namespace karvelo::converter
