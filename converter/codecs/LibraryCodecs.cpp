// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/codecs/LibraryCodecs.h"

namespace karvelo::converter {

namespace {

class LibraryCodecs final : public Codecs {
 public:
  std::unique_ptr<Decoder> decoder(PictureFormat format, const ByteSource& source) const override {
    switch (format) {
      case PictureFormat::Jpeg:
        return jpegDecoder(source);
      case PictureFormat::Png:
        return pngDecoder(source);
      case PictureFormat::Webp:
        return webpDecoder(source);
      case PictureFormat::Gif:
        return gifDecoder(source);
      case PictureFormat::Tiff:
        return tiffDecoder(source);
      case PictureFormat::Heif:
      case PictureFormat::Avif:
        return heifDecoder(source);
      case PictureFormat::Bmp:
        break;
    }
    return bmpDecoder(source);
  }

  std::unique_ptr<Encoder> encoder(PictureFormat format) const override {
    switch (format) {
      case PictureFormat::Jpeg:
        return jpegEncoder();
      case PictureFormat::Png:
        return pngEncoder();
      case PictureFormat::Webp:
        return webpEncoder();
      case PictureFormat::Gif:
        return gifEncoder();
      case PictureFormat::Tiff:
        return tiffEncoder();
      case PictureFormat::Heif:
      case PictureFormat::Avif:
        return heifEncoder(format);
      case PictureFormat::Bmp:
        break;
    }
    return bmpEncoder();
  }
};

}  // namespace

const Codecs& platformCodecs() {
  static const LibraryCodecs codecs;
  return codecs;
}

}  // namespace karvelo::converter
