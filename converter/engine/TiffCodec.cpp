#include "converter/engine/TiffCodec.h"

#include "converter/core/TargetSize.h"
#include "converter/engine/Orientation.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace karvelo::converter {

namespace {

// The last message of libtiff, which otherwise prints to the standard error stream.
char lastTiffMessage[256] = "TIFF data cannot be read";

void keepMessage(const char* module, const char* format, va_list arguments) {
  char text[200];
  std::vsnprintf(text, sizeof text, format, arguments);
  std::snprintf(lastTiffMessage, sizeof lastTiffMessage, "%s%s%s", module ? module : "",
                module ? ": " : "", text);
}

void ignoreWarning(const char*, const char*, va_list) {}

void quietLibtiff() {
  TIFFSetErrorHandler(keepMessage);
  TIFFSetWarningHandler(ignoreWarning);
}

struct Reader {
  const SourceFile* source;
  std::uint64_t pos = 0;
};

tmsize_t readSource(thandle_t handle, void* buffer, tmsize_t size) {
  auto* reader = static_cast<Reader*>(handle);
  const std::size_t got =
      reader->source->readInto(reader->pos, buffer, static_cast<std::size_t>(size));
  reader->pos += got;
  return static_cast<tmsize_t>(got);
}

tmsize_t refuseWrite(thandle_t, void*, tmsize_t) { return -1; }

toff_t seekSource(thandle_t handle, toff_t offset, int whence) {
  auto* reader = static_cast<Reader*>(handle);
  const std::uint64_t base = whence == SEEK_CUR   ? reader->pos
                             : whence == SEEK_END ? reader->source->size()
                                                  : 0;
  reader->pos = base + offset;
  return reader->pos;
}

int closeNothing(thandle_t) { return 0; }

toff_t sourceSize(thandle_t handle) { return static_cast<Reader*>(handle)->source->size(); }

int noMap(thandle_t, void**, toff_t*) { return 0; }

void noUnmap(thandle_t, void*, toff_t) {}

struct Writer {
  std::vector<std::uint8_t> bytes;
  std::uint64_t pos = 0;
};

tmsize_t refuseRead(thandle_t, void*, tmsize_t) { return -1; }

tmsize_t writeResult(thandle_t handle, void* buffer, tmsize_t size) {
  auto* writer = static_cast<Writer*>(handle);
  const auto count = static_cast<std::size_t>(size);
  if (writer->bytes.size() < writer->pos + count) {
    writer->bytes.resize(static_cast<std::size_t>(writer->pos + count));
  }
  std::memcpy(writer->bytes.data() + writer->pos, buffer, count);
  writer->pos += count;
  return size;
}

toff_t seekResult(thandle_t handle, toff_t offset, int whence) {
  auto* writer = static_cast<Writer*>(handle);
  const std::uint64_t base = whence == SEEK_CUR   ? writer->pos
                             : whence == SEEK_END ? writer->bytes.size()
                                                  : 0;
  writer->pos = base + offset;
  return writer->pos;
}

toff_t resultSize(thandle_t handle) { return static_cast<Writer*>(handle)->bytes.size(); }

struct TiffClose {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffClose>;

TiffHandle openSource(Reader& reader) {
  quietLibtiff();
  TiffHandle tiff(TIFFClientOpen("source", "rm", &reader, readSource, refuseWrite, seekSource,
                                 closeNothing, sourceSize, noMap, noUnmap));
  if (!tiff) {
    damagedPicture(lastTiffMessage);
  }
  return tiff;
}

bool keepsCompression(int compression) {
  return compression == COMPRESSION_NONE || compression == COMPRESSION_LZW ||
         compression == COMPRESSION_ADOBE_DEFLATE || compression == COMPRESSION_DEFLATE ||
         compression == COMPRESSION_PACKBITS;
}

}  // namespace

PictureHeader TiffCodec::probe(const SourceFile& source) const {
  Reader reader{&source};
  TiffHandle tiff = openSource(reader);
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  if (TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) != 1 ||
      TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) != 1) {
    damagedPicture("the TIFF file has no picture size");
  }
  std::uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);
  return {{width, height}, orientation >= 1 && orientation <= 8 ? orientation : 1};
}

Picture TiffCodec::decode(const SourceFile& source, PixelSize) const {
  Reader reader{&source};
  TiffHandle tiff = openSource(reader);
  TIFF* file = tiff.get();
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  TIFFGetField(file, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(file, TIFFTAG_IMAGELENGTH, &height);
  checkSourceSize({width, height});
  std::uint16_t orientation = ORIENTATION_TOPLEFT;
  std::uint16_t photometric = PHOTOMETRIC_RGB;
  std::uint16_t samples = 1;
  std::uint16_t compression = COMPRESSION_NONE;
  std::uint16_t extraCount = 0;
  std::uint16_t* extraKinds = nullptr;
  TIFFGetFieldDefaulted(file, TIFFTAG_ORIENTATION, &orientation);
  TIFFGetFieldDefaulted(file, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(file, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(file, TIFFTAG_COMPRESSION, &compression);
  TIFFGetFieldDefaulted(file, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds);
  const bool alpha =
      extraCount > 0 && extraKinds != nullptr &&
      (extraKinds[0] == EXTRASAMPLE_ASSOCALPHA || extraKinds[0] == EXTRASAMPLE_UNASSALPHA);
  const bool gray =
      (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) &&
      samples - extraCount == 1;
  if (orientation < 1 || orientation > 8) {
    orientation = ORIENTATION_TOPLEFT;
  }

  // libtiff flips the rows and columns of orientations 1 to 4 but does not transpose 5 to 8;
  // asking for the orientation the file already has gives the pixels as stored, and the
  // converter turns them upright like any other picture.
  Image raster = Image::blank({width, height}, ColorModel::Rgba);
  const int requested = orientation <= 4 ? orientation : orientation - 4;
  if (TIFFReadRGBAImageOriented(file, width, height,
                                reinterpret_cast<std::uint32_t*>(raster.pixels.data()), requested,
                                1) != 1) {
    damagedPicture(lastTiffMessage);
  }
  // The RGBA interface premultiplies; the pixels are kept straight.
  for (std::size_t i = 0; i < raster.pixels.size(); i += 4) {
    std::uint8_t* pixel = raster.pixels.data() + i;
    if (pixel[3] != 0 && pixel[3] != 255) {
      for (int c = 0; c < 3; ++c) {
        pixel[c] =
            static_cast<std::uint8_t>(std::min(255, (pixel[c] * 255 + pixel[3] / 2) / pixel[3]));
      }
    }
  }
  Picture picture;
  picture.orientation = orientation;
  picture.compression = compression;
  const ColorModel model = gray ? (alpha ? ColorModel::GrayAlpha : ColorModel::Gray)
                                : (alpha ? ColorModel::Rgba : ColorModel::Rgb);
  if (model == ColorModel::Rgba) {
    picture.image = std::move(raster);
  } else {
    picture.image = Image::blank({width, height}, model);
    const int channels = picture.image.channels();
    std::uint8_t* out = picture.image.pixels.data();
    for (std::size_t i = 0; i < raster.pixels.size(); i += 4, out += channels) {
      const std::uint8_t* pixel = raster.pixels.data() + i;
      if (gray) {
        out[0] = pixel[0];
      } else {
        std::copy_n(pixel, 3, out);
      }
      if (alpha) {
        out[channels - 1] = pixel[3];
      }
    }
  }
  std::uint32_t iccLength = 0;
  void* icc = nullptr;
  // A CMYK profile no longer fits once the RGBA interface has turned the pixels into RGB.
  if (photometric != PHOTOMETRIC_SEPARATED &&
      TIFFGetField(file, TIFFTAG_ICCPROFILE, &iccLength, &icc) == 1 && icc != nullptr) {
    const auto* bytes = static_cast<const std::uint8_t*>(icc);
    picture.icc.assign(bytes, bytes + iccLength);
  }
  return picture;
}

std::vector<std::uint8_t> TiffCodec::encode(const Picture& picture) const {
  quietLibtiff();
  const Image& image = picture.image;
  Writer writer;
  TiffHandle tiff(TIFFClientOpen("result", "w", &writer, refuseRead, writeResult, seekResult,
                                 closeNothing, resultSize, noMap, noUnmap));
  if (!tiff) {
    throw std::runtime_error(std::string("TIFF encoding failed: ") + lastTiffMessage);
  }
  TIFF* file = tiff.get();
  const int compression =
      keepsCompression(picture.compression) ? picture.compression : COMPRESSION_LZW;
  const bool gray = image.model == ColorModel::Gray || image.model == ColorModel::GrayAlpha;
  TIFFSetField(file, TIFFTAG_IMAGEWIDTH, image.size.width);
  TIFFSetField(file, TIFFTAG_IMAGELENGTH, image.size.height);
  TIFFSetField(file, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(file, TIFFTAG_SAMPLESPERPIXEL, image.channels());
  TIFFSetField(file, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(file, TIFFTAG_PHOTOMETRIC,
               image.model == ColorModel::Cmyk ? PHOTOMETRIC_SEPARATED
               : gray                          ? PHOTOMETRIC_MINISBLACK
                                               : PHOTOMETRIC_RGB);
  TIFFSetField(file, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(file, TIFFTAG_COMPRESSION, compression);
  if (compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE ||
      compression == COMPRESSION_DEFLATE) {
    TIFFSetField(file, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  }
  if (hasAlpha(image.model)) {
    const std::uint16_t kind = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(file, TIFFTAG_EXTRASAMPLES, 1, &kind);
  }
  TIFFSetField(file, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(file, 0));
  if (!picture.icc.empty()) {
    TIFFSetField(file, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(picture.icc.size()),
                 picture.icc.data());
  }
  std::vector<std::uint8_t> row(image.rowBytes());
  for (std::uint32_t y = 0; y < image.size.height; ++y) {
    std::copy_n(image.pixels.data() + image.rowBytes() * y, row.size(), row.data());
    if (TIFFWriteScanline(file, row.data(), y, 0) != 1) {
      throw std::runtime_error(std::string("TIFF encoding failed: ") + lastTiffMessage);
    }
  }
  if (TIFFFlush(file) != 1) {
    throw std::runtime_error(std::string("TIFF encoding failed: ") + lastTiffMessage);
  }
  tiff.reset();
  return std::move(writer.bytes);
}

}  // namespace karvelo::converter
