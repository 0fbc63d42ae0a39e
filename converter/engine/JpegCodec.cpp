#include "converter/engine/JpegCodec.h"

#include "converter/core/ExifBlock.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string_view>

namespace karvelo::converter {

namespace {

constexpr int jpegQuality = 90;
constexpr std::size_t headBytes = 256 * 1024;
constexpr std::string_view exifTag{"Exif\0\0", 6};
constexpr std::string_view iccTag{"ICC_PROFILE\0", 12};
constexpr std::size_t maxSegmentPayload = 65533;
constexpr std::size_t maxIccChunk = maxSegmentPayload - iccTag.size() - 2;

// What the markers before the first scan say.
struct Markers {
  bool sawFrame = false;
  bool complete = false;  // reached the first scan
  PixelSize size;
  std::vector<std::uint8_t> exif;
  std::vector<std::uint8_t> icc;
};

bool isFrameMarker(std::uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

Markers readMarkers(std::span<const std::uint8_t> data) {
  Markers markers;
  std::map<int, std::vector<std::uint8_t>> iccChunks;
  int iccCount = 0;
  std::size_t pos = 2;
  while (pos + 1 < data.size()) {
    if (data[pos] != 0xFF) {
      damagedPicture("a JPEG marker is missing");
    }
    while (pos < data.size() && data[pos] == 0xFF) {
      ++pos;
    }
    if (pos + 2 >= data.size()) {
      break;
    }
    const std::uint8_t marker = data[pos++];
    if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      continue;
    }
    if (marker == 0xD9) {
      break;
    }
    const std::size_t length = (std::size_t{data[pos]} << 8) | data[pos + 1];
    if (length < 2) {
      damagedPicture("a JPEG segment has a bad length");
    }
    if (pos + length > data.size()) {
      break;
    }
    const std::span<const std::uint8_t> payload = data.subspan(pos + 2, length - 2);
    const std::string_view text(reinterpret_cast<const char*>(payload.data()), payload.size());
    if (isFrameMarker(marker) && payload.size() >= 5 && !markers.sawFrame) {
      markers.sawFrame = true;
      markers.size.height = (std::uint32_t{payload[1]} << 8) | payload[2];
      markers.size.width = (std::uint32_t{payload[3]} << 8) | payload[4];
    } else if (marker == 0xE1 && text.starts_with(exifTag) && markers.exif.empty()) {
      markers.exif.assign(payload.begin() + exifTag.size(), payload.end());
    } else if (marker == 0xE2 && text.starts_with(iccTag) && payload.size() > iccTag.size() + 2) {
      const int sequence = payload[iccTag.size()];
      iccCount = payload[iccTag.size() + 1];
      iccChunks[sequence].assign(payload.begin() + iccTag.size() + 2, payload.end());
    } else if (marker == 0xDA) {
      markers.complete = true;
      break;
    }
    pos += length;
  }
  bool iccWhole = iccCount > 0 && static_cast<int>(iccChunks.size()) == iccCount;
  for (int sequence = 1; iccWhole && sequence <= iccCount; ++sequence) {
    iccWhole = iccChunks.contains(sequence);
  }
  if (iccWhole) {
    for (const auto& [sequence, chunk] : iccChunks) {
      markers.icc.insert(markers.icc.end(), chunk.begin(), chunk.end());
    }
  }
  return markers;
}

int orientationOf(const std::vector<std::uint8_t>& exif) {
  return exif.empty() ? 1 : ExifBlock(exif).orientation().value_or(1);
}

struct HandleCloser {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

struct BufferFree {
  void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

// The largest reduction that the decoder's scaled inverse DCT offers and that keeps both sides
// at least as large as asked.
tjscalingfactor chooseScale(int width, int height, PixelSize atLeast) {
  int count = 0;
  tjscalingfactor* factors = tjGetScalingFactors(&count);
  tjscalingfactor best{1, 1};
  for (int i = 0; factors != nullptr && i < count; ++i) {
    const tjscalingfactor factor = factors[i];
    if (factor.num > factor.denom) {
      continue;
    }
    const auto scaledWidth = static_cast<std::uint32_t>(TJSCALED(width, factor));
    const auto scaledHeight = static_cast<std::uint32_t>(TJSCALED(height, factor));
    if (scaledWidth >= atLeast.width && scaledHeight >= atLeast.height &&
        factor.num * best.denom < best.num * factor.denom) {
      best = factor;
    }
  }
  return best;
}

void appendSegment(std::vector<std::uint8_t>& out, std::uint8_t marker, std::string_view tag,
                   std::span<const std::uint8_t> head, std::span<const std::uint8_t> body) {
  const std::size_t length = 2 + tag.size() + head.size() + body.size();
  out.push_back(0xFF);
  out.push_back(marker);
  out.push_back(static_cast<std::uint8_t>(length >> 8));
  out.push_back(static_cast<std::uint8_t>(length & 0xFF));
  out.insert(out.end(), tag.begin(), tag.end());
  out.insert(out.end(), head.begin(), head.end());
  out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

PictureHeader JpegCodec::probe(const SourceFile& source) const {
  Markers markers = readMarkers(source.read(0, headBytes));
  if (!markers.sawFrame && source.size() > headBytes) {
    markers = readMarkers(source.readAll());
  }
  if (!markers.sawFrame) {
    damagedPicture("the JPEG file ends before its frame header");
  }
  return {markers.size, orientationOf(markers.exif)};
}

Picture JpegCodec::decode(const SourceFile& source, PixelSize atLeast) const {
  const std::vector<std::uint8_t> data = source.readAll();
  Markers markers = readMarkers(data);
  if (!markers.complete) {
    damagedPicture("the JPEG file ends before its first scan");
  }
  Handle handle(tjInitDecompress());
  if (!handle) {
    throw std::bad_alloc();
  }
  int width = 0;
  int height = 0;
  int subsampling = 0;
  int colorspace = 0;
  auto* bytes = const_cast<unsigned char*>(data.data());
  const auto length = static_cast<unsigned long>(data.size());
  if (tjDecompressHeader3(handle.get(), bytes, length, &width, &height, &subsampling,
                          &colorspace) != 0) {
    damagedPicture(tjGetErrorStr2(handle.get()));
  }
  const tjscalingfactor scale = chooseScale(width, height, atLeast);
  const PixelSize scaled{static_cast<std::uint32_t>(TJSCALED(width, scale)),
                         static_cast<std::uint32_t>(TJSCALED(height, scale))};
  ColorModel model = ColorModel::Rgb;
  int pixelFormat = TJPF_RGB;
  if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK) {
    model = ColorModel::Cmyk;
    pixelFormat = TJPF_CMYK;
  } else if (colorspace == TJCS_GRAY) {
    model = ColorModel::Gray;
    pixelFormat = TJPF_GRAY;
  }
  Picture picture;
  picture.image = Image::blank(scaled, model);
  // Warnings (a truncated scan, corrupt entropy data) fail the decode: the result would show
  // grey or garbled areas.
  if (tjDecompress2(handle.get(), bytes, length, picture.image.pixels.data(),
                    static_cast<int>(scaled.width), 0, static_cast<int>(scaled.height), pixelFormat,
                    TJFLAG_STOPONWARNING) != 0) {
    damagedPicture(tjGetErrorStr2(handle.get()));
  }
  picture.icc = std::move(markers.icc);
  picture.exif = std::move(markers.exif);
  picture.orientation = orientationOf(picture.exif);
  picture.fullChroma = subsampling == TJSAMP_444;
  return picture;
}

std::vector<std::uint8_t> JpegCodec::encode(const Picture& picture) const {
  const Image& image = picture.image;
  checkFormatLimit(image.size, 65500, "JPEG");
  int pixelFormat = TJPF_RGB;
  int subsampling = picture.fullChroma ? TJSAMP_444 : TJSAMP_420;
  switch (image.model) {
    case ColorModel::Gray:
      pixelFormat = TJPF_GRAY;
      subsampling = TJSAMP_GRAY;
      break;
    case ColorModel::Rgb:
      pixelFormat = TJPF_RGB;
      break;
    case ColorModel::Cmyk:
      pixelFormat = TJPF_CMYK;
      break;
    case ColorModel::GrayAlpha:
    case ColorModel::Rgba:
      damagedPicture("a JPEG cannot hold transparency");
  }
  Handle handle(tjInitCompress());
  if (!handle) {
    throw std::bad_alloc();
  }
  unsigned char* compressed = nullptr;
  unsigned long compressedSize = 0;
  const int status =
      tjCompress2(handle.get(), image.pixels.data(), static_cast<int>(image.size.width), 0,
                  static_cast<int>(image.size.height), pixelFormat, &compressed, &compressedSize,
                  subsampling, jpegQuality, 0);
  std::unique_ptr<unsigned char, BufferFree> owner(compressed);
  if (status != 0) {
    throw std::runtime_error(std::string("JPEG compression failed: ") +
                             tjGetErrorStr2(handle.get()));
  }
  const std::span<const std::uint8_t> body(compressed, compressedSize);
  // The metadata goes after the start of image and the JFIF or Adobe segment of the encoder.
  std::size_t insertAt = 2;
  if (body.size() > 6 && body[2] == 0xFF && (body[3] == 0xE0 || body[3] == 0xEE)) {
    insertAt = 4 + ((std::size_t{body[4]} << 8) | body[5]);
  }
  std::vector<std::uint8_t> out(body.begin(), body.begin() + static_cast<long>(insertAt));
  if (!picture.exif.empty() && picture.exif.size() + exifTag.size() <= maxSegmentPayload) {
    appendSegment(out, 0xE1, exifTag, {}, picture.exif);
  }
  const std::size_t chunks = (picture.icc.size() + maxIccChunk - 1) / maxIccChunk;
  if (chunks > 0 && chunks <= 255) {
    for (std::size_t i = 0; i < chunks; ++i) {
      const std::uint8_t numbers[2] = {static_cast<std::uint8_t>(i + 1),
                                       static_cast<std::uint8_t>(chunks)};
      const std::size_t begin = i * maxIccChunk;
      const std::size_t size = std::min(maxIccChunk, picture.icc.size() - begin);
      appendSegment(out, 0xE2, iccTag, numbers,
                    std::span<const std::uint8_t>(picture.icc).subspan(begin, size));
    }
  }
  out.insert(out.end(), body.begin() + static_cast<long>(insertAt), body.end());
  return out;
}

}  // namespace karvelo::converter
