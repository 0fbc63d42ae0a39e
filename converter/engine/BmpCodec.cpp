#include "converter/engine/BmpCodec.h"

#include "converter/core/ConversionError.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string_view>

namespace karvelo::converter {

namespace {

constexpr std::size_t headerBytes = 54;

std::uint32_t little32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return std::uint32_t{bytes[offset]} | (std::uint32_t{bytes[offset + 1]} << 8) |
         (std::uint32_t{bytes[offset + 2]} << 16) | (std::uint32_t{bytes[offset + 3]} << 24);
}

std::uint16_t little16(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

struct BmpHeader {
  PixelSize size;
  std::uint64_t pixelsEnd = 0;  // where uncompressed pixel rows end; 0 when compressed
};

BmpHeader readHeader(const SourceFile& source) {
  const std::vector<std::uint8_t> head = source.read(0, headerBytes);
  if (head.size() < 26) {
    damagedPicture("the BMP headers are cut short");
  }
  const std::uint32_t dataOffset = little32(head, 10);
  const std::uint32_t infoSize = little32(head, 14);
  BmpHeader header;
  std::uint32_t bitsPerPixel = 0;
  std::uint32_t compression = 0;
  if (infoSize == 12) {
    header.size = {little16(head, 18), little16(head, 20)};
    bitsPerPixel = little16(head, 24);
  } else if (infoSize >= 40 && head.size() >= 34) {
    const auto width = static_cast<std::int32_t>(little32(head, 18));
    const auto height = static_cast<std::int32_t>(little32(head, 22));
    if (width <= 0 || height == 0 || height == INT32_MIN) {
      damagedPicture("the BMP headers declare no pixels");
    }
    header.size = {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(std::abs(height))};
    bitsPerPixel = little16(head, 28);
    compression = little32(head, 30);
  } else {
    damagedPicture("the BMP headers are of an unknown kind");
  }
  if (compression == 0 || compression == 3 || compression == 6) {
    const std::uint64_t rowBytes = (std::uint64_t{bitsPerPixel} * header.size.width + 31) / 32 * 4;
    header.pixelsEnd = dataOffset + rowBytes * header.size.height;
  }
  return header;
}

void appendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(context);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

struct StbFree {
  void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

}  // namespace

PictureHeader BmpCodec::probe(const SourceFile& source) const {
  const BmpHeader header = readHeader(source);
  return {header.size, 1};
}

Picture BmpCodec::decode(const SourceFile& source, PixelSize) const {
  const BmpHeader header = readHeader(source);
  // The decoder fills missing rows with black, so a short file is caught here.
  if (header.pixelsEnd > source.size()) {
    damagedPicture("the BMP file ends before its last row");
  }
  const std::vector<std::uint8_t> data = source.readAll();
  if (data.size() > static_cast<std::size_t>(INT_MAX)) {
    throw ConversionError(ExitCode::PictureTooLarge, "the BMP file is larger than 2 GB");
  }
  int width = 0;
  int height = 0;
  int channels = 0;
  std::unique_ptr<stbi_uc, StbFree> pixels(stbi_load_from_memory(
      data.data(), static_cast<int>(data.size()), &width, &height, &channels, 0));
  if (!pixels) {
    const std::string_view reason = stbi_failure_reason() ? stbi_failure_reason() : "";
    if (reason.find("not supported") != std::string_view::npos) {
      throw ConversionError(ExitCode::UnsupportedFormat,
                            "this kind of BMP is not supported (" + std::string(reason) + ")");
    }
    damagedPicture("the BMP data cannot be decoded (" + std::string(reason) + ")");
  }
  Picture picture;
  const ColorModel model = channels == 4   ? ColorModel::Rgba
                           : channels == 3 ? ColorModel::Rgb
                           : channels == 2 ? ColorModel::GrayAlpha
                                           : ColorModel::Gray;
  picture.image =
      Image::blank({static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)}, model);
  std::copy(pixels.get(), pixels.get() + picture.image.pixels.size(), picture.image.pixels.begin());
  return picture;
}

std::vector<std::uint8_t> BmpCodec::encode(const Picture& picture) const {
  const Image& image = picture.image;
  checkFormatLimit(image.size, 32767, "BMP");
  if (image.model == ColorModel::Cmyk || image.model == ColorModel::GrayAlpha) {
    throw std::logic_error("BMP takes gray, RGB or RGBA pixels");
  }
  std::vector<std::uint8_t> out;
  if (stbi_write_bmp_to_func(appendBytes, &out, static_cast<int>(image.size.width),
                             static_cast<int>(image.size.height), image.channels(),
                             image.pixels.data()) == 0) {
    throw std::runtime_error("BMP encoding failed");
  }
  return out;
}

}  // namespace karvelo::converter
