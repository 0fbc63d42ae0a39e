#include "converter/engine/PngCodec.h"

#include "converter/core/ExifBlock.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <stdexcept>

namespace karvelo::converter {

namespace {

constexpr int compressionLevel = 6;

struct ReadCursor {
  std::span<const std::uint8_t> data;
  std::size_t pos = 0;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* cursor = static_cast<ReadCursor*>(png_get_io_ptr(png));
  if (cursor->data.size() - cursor->pos < length) {
    png_error(png, "the file ends too early");
  }
  std::memcpy(out, cursor->data.data() + cursor->pos, length);
  cursor->pos += length;
}

void writeToVector(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

// The message of the last libpng error, kept for the exception thrown after the long jump.
struct ErrorText {
  char text[200] = "unknown error";
};

void onError(png_structp png, png_const_charp message) {
  auto* error = static_cast<ErrorText*>(png_get_error_ptr(png));
  std::snprintf(error->text, sizeof error->text, "%s", message);
  png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

std::uint32_t bigEndian32(const std::uint8_t* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
         (std::uint32_t{bytes[2]} << 8) | bytes[3];
}

// Decodes into `picture`; returns false after a libpng error, whose text is in `error`.
// Kept free of objects with destructors between setjmp and the jumps.
bool decodeInto(std::span<const std::uint8_t> data, Picture& picture, ErrorText& error) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, onError, onWarning);
  if (png == nullptr) {
    throw std::bad_alloc();
  }
  png_infop info = png_create_info_struct(png);
  ReadCursor cursor{data, 0};
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  if (info == nullptr) {
    png_error(png, "out of memory");
  }
  png_set_read_fn(png, &cursor, readFromMemory);
  png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
  png_set_chunk_malloc_max(png, 64 * 1024 * 1024);
  png_read_info(png, info);

  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  const int colorType = png_get_color_type(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const int channels = png_get_channels(png, info);
  const bool gray = (colorType & PNG_COLOR_MASK_COLOR) == 0;
  ColorModel model = ColorModel::Rgb;
  if (channels == 1 && gray) {
    model = ColorModel::Gray;
  } else if (channels == 2 && gray) {
    model = ColorModel::GrayAlpha;
  } else if (channels == 4) {
    model = ColorModel::Rgba;
  } else if (channels != 3) {
    png_error(png, "unexpected channel layout");
  }
  picture.image = Image::blank({width, height}, model);
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) {
    rows[y] = picture.image.pixels.data() + picture.image.rowBytes() * y;
  }
  png_read_image(png, rows.data());
  png_read_end(png, info);

  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 profileLength = 0;
  if (png_get_iCCP(png, info, &name, &compression, &profile, &profileLength) != 0) {
    picture.icc.assign(profile, profile + profileLength);
  }
  png_bytep exif = nullptr;
  png_uint_32 exifLength = 0;
  if (png_get_eXIf_1(png, info, &exifLength, &exif) != 0) {
    picture.exif.assign(exif, exif + exifLength);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool encodeInto(const Picture& picture, std::vector<std::uint8_t>& out, ErrorText& error) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, onError, onWarning);
  if (png == nullptr) {
    throw std::bad_alloc();
  }
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  if (info == nullptr) {
    png_error(png, "out of memory");
  }
  const Image& image = picture.image;
  int colorType = PNG_COLOR_TYPE_RGB;
  switch (image.model) {
    case ColorModel::Gray:
      colorType = PNG_COLOR_TYPE_GRAY;
      break;
    case ColorModel::GrayAlpha:
      colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
      break;
    case ColorModel::Rgb:
      colorType = PNG_COLOR_TYPE_RGB;
      break;
    case ColorModel::Rgba:
      colorType = PNG_COLOR_TYPE_RGB_ALPHA;
      break;
    case ColorModel::Cmyk:
      png_error(png, "a PNG cannot hold CMYK");
  }
  png_set_write_fn(png, &out, writeToVector, flushNothing);
  png_set_compression_level(png, compressionLevel);
  png_set_IHDR(png, info, image.size.width, image.size.height, 8, colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!picture.icc.empty()) {
    png_set_iCCP(png, info, "ICC Profile", PNG_COMPRESSION_TYPE_BASE, picture.icc.data(),
                 static_cast<png_uint_32>(picture.icc.size()));
  }
  if (!picture.exif.empty()) {
    png_set_eXIf_1(png, info, static_cast<png_uint_32>(picture.exif.size()),
                   const_cast<png_bytep>(picture.exif.data()));
  }
  png_write_info(png, info);
  rows.resize(image.size.height);
  for (std::uint32_t y = 0; y < image.size.height; ++y) {
    rows[y] = const_cast<png_bytep>(image.pixels.data() + image.rowBytes() * y);
  }
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

PictureHeader PngCodec::probe(const SourceFile& source) const {
  const std::vector<std::uint8_t> head = source.read(0, 33);
  if (head.size() < 33 || std::memcmp(head.data() + 12, "IHDR", 4) != 0) {
    damagedPicture("the PNG file has no image header");
  }
  return {{bigEndian32(head.data() + 16), bigEndian32(head.data() + 20)}, 1};
}

Picture PngCodec::decode(const SourceFile& source, PixelSize) const {
  const std::vector<std::uint8_t> data = source.readAll();
  Picture picture;
  ErrorText error;
  if (!decodeInto(data, picture, error)) {
    damagedPicture(error.text);
  }
  if (!picture.exif.empty()) {
    picture.orientation = ExifBlock(picture.exif).orientation().value_or(1);
  }
  return picture;
}

std::vector<std::uint8_t> PngCodec::encode(const Picture& picture) const {
  std::vector<std::uint8_t> out;
  ErrorText error;
  if (!encodeInto(picture, out, error)) {
    throw std::runtime_error(std::string("PNG encoding failed: ") + error.text);
  }
  return out;
}

}  // namespace karvelo::converter
