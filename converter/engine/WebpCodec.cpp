#include "converter/engine/WebpCodec.h"

#include "converter/core/ConversionError.h"
#include "converter/core/ExifBlock.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <memory>
#include <stdexcept>

namespace karvelo::converter {

namespace {

constexpr float webpQuality = 90.0F;
constexpr std::size_t headBytes = 64 * 1024;

struct DemuxDelete {
  void operator()(WebPDemuxer* demuxer) const { WebPDemuxDelete(demuxer); }
};
struct MuxDelete {
  void operator()(WebPMux* mux) const { WebPMuxDelete(mux); }
};

std::vector<std::uint8_t> chunk(WebPDemuxer* demuxer, const char* fourcc) {
  WebPChunkIterator iterator;
  std::vector<std::uint8_t> bytes;
  if (WebPDemuxGetChunk(demuxer, fourcc, 1, &iterator) != 0) {
    bytes.assign(iterator.chunk.bytes, iterator.chunk.bytes + iterator.chunk.size);
    WebPDemuxReleaseChunkIterator(&iterator);
  }
  return bytes;
}

}  // namespace

PictureHeader WebpCodec::probe(const SourceFile& source) const {
  const std::vector<std::uint8_t> head = source.read(0, headBytes);
  WebPBitstreamFeatures features;
  const VP8StatusCode status = WebPGetFeatures(head.data(), head.size(), &features);
  if (status != VP8_STATUS_OK) {
    damagedPicture("the WebP headers cannot be read");
  }
  if (features.has_animation != 0) {
    throw ConversionError(ExitCode::UnsupportedFormat, "animated WebP pictures are not supported");
  }
  return {{static_cast<std::uint32_t>(features.width), static_cast<std::uint32_t>(features.height)},
          1};
}

Picture WebpCodec::decode(const SourceFile& source, PixelSize) const {
  const std::vector<std::uint8_t> data = source.readAll();
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(data.data(), data.size(), &features) != VP8_STATUS_OK) {
    damagedPicture("the WebP headers cannot be read");
  }
  Picture picture;
  const PixelSize size{static_cast<std::uint32_t>(features.width),
                       static_cast<std::uint32_t>(features.height)};
  picture.image = Image::blank(size, features.has_alpha != 0 ? ColorModel::Rgba : ColorModel::Rgb);
  picture.lossless = features.format == 2;
  Image& image = picture.image;
  const bool decoded =
      features.has_alpha != 0
          ? WebPDecodeRGBAInto(data.data(), data.size(), image.pixels.data(), image.pixels.size(),
                               static_cast<int>(image.rowBytes())) != nullptr
          : WebPDecodeRGBInto(data.data(), data.size(), image.pixels.data(), image.pixels.size(),
                              static_cast<int>(image.rowBytes())) != nullptr;
  if (!decoded) {
    damagedPicture("the WebP data cannot be decoded");
  }
  const WebPData whole{data.data(), data.size()};
  std::unique_ptr<WebPDemuxer, DemuxDelete> demuxer(WebPDemux(&whole));
  if (demuxer) {
    picture.icc = chunk(demuxer.get(), "ICCP");
    picture.exif = chunk(demuxer.get(), "EXIF");
    // Some writers keep the JPEG-style header in front of the TIFF structure.
    if (picture.exif.size() > 6 &&
        std::equal(picture.exif.begin(), picture.exif.begin() + 6, "Exif\0\0")) {
      picture.exif.erase(picture.exif.begin(), picture.exif.begin() + 6);
    }
    if (!picture.exif.empty()) {
      picture.orientation = ExifBlock(picture.exif).orientation().value_or(1);
    }
  }
  return picture;
}

std::vector<std::uint8_t> WebpCodec::encode(const Picture& picture) const {
  const Image& image = picture.image;
  checkFormatLimit(image.size, WEBP_MAX_DIMENSION, "WebP");
  const bool alpha = hasAlpha(image.model);
  if (image.model != ColorModel::Rgb && image.model != ColorModel::Rgba) {
    throw std::logic_error("WebP takes RGB or RGBA pixels");
  }
  WebPConfig config;
  WebPPicture frame;
  if (WebPConfigInit(&config) == 0 || WebPPictureInit(&frame) == 0) {
    throw std::runtime_error("the WebP library does not match its headers");
  }
  config.quality = webpQuality;
  config.lossless = picture.lossless ? 1 : 0;
  config.method = 4;
  frame.use_argb = picture.lossless ? 1 : 0;
  frame.width = static_cast<int>(image.size.width);
  frame.height = static_cast<int>(image.size.height);
  const int stride = static_cast<int>(image.rowBytes());
  const int imported = alpha ? WebPPictureImportRGBA(&frame, image.pixels.data(), stride)
                             : WebPPictureImportRGB(&frame, image.pixels.data(), stride);
  WebPMemoryWriter writer;
  WebPMemoryWriterInit(&writer);
  frame.writer = WebPMemoryWrite;
  frame.custom_ptr = &writer;
  const bool encoded = imported != 0 && WebPEncode(&config, &frame) != 0;
  WebPPictureFree(&frame);
  std::vector<std::uint8_t> out(writer.mem, writer.mem + writer.size);
  WebPMemoryWriterClear(&writer);
  if (!encoded) {
    throw std::runtime_error("WebP encoding failed");
  }
  if (picture.icc.empty() && picture.exif.empty()) {
    return out;
  }
  const WebPData bitstream{out.data(), out.size()};
  std::unique_ptr<WebPMux, MuxDelete> mux(WebPMuxCreate(&bitstream, 1));
  if (!mux) {
    throw std::runtime_error("WebP metadata could not be added");
  }
  const WebPData icc{picture.icc.data(), picture.icc.size()};
  const WebPData exif{picture.exif.data(), picture.exif.size()};
  if ((!picture.icc.empty() && WebPMuxSetChunk(mux.get(), "ICCP", &icc, 1) != WEBP_MUX_OK) ||
      (!picture.exif.empty() && WebPMuxSetChunk(mux.get(), "EXIF", &exif, 1) != WEBP_MUX_OK)) {
    throw std::runtime_error("WebP metadata could not be added");
  }
  WebPData assembled;
  WebPDataInit(&assembled);
  if (WebPMuxAssemble(mux.get(), &assembled) != WEBP_MUX_OK) {
    throw std::runtime_error("WebP metadata could not be added");
  }
  out.assign(assembled.bytes, assembled.bytes + assembled.size);
  WebPDataClear(&assembled);
  return out;
}

}  // namespace karvelo::converter
