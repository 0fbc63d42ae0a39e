// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/ConversionError.h"
#include "converter/core/TargetSize.h"
#include "converter/metadata/FormatMetadata.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace karvelo::converter {

namespace {

constexpr std::string_view exifTag{"Exif\0\0", 6};
constexpr std::string_view iccTag{"ICC_PROFILE\0", 12};
constexpr std::string_view xmpTag{"http://ns.adobe.com/xap/1.0/\0", 29};
constexpr std::string_view extendedXmpTag{"http://ns.adobe.com/xmp/extension/\0", 35};
constexpr std::string_view photoshopTag{"Photoshop 3.0\0", 14};
constexpr std::uint8_t markerComment = 0xFE;
constexpr std::size_t maxSegmentPayload = 65533;
constexpr std::size_t maxIccChunk = maxSegmentPayload - iccTag.size() - 2;

bool isFrameMarker(std::uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool startsWith(std::span<const std::uint8_t> payload, std::string_view tag) {
  return payload.size() >= tag.size() &&
         std::equal(tag.begin(), tag.end(), payload.begin(),
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

// The fewest 8 x 8 blocks of coefficients the frame can be coded in, from its size and the
// sampling of its components (`components` is the frame header from its component count on).
std::uint64_t blocksOf(PixelSize size, std::span<const std::uint8_t> components) {
  const std::size_t count = components.empty() ? 0 : components[0];
  if (components.size() < 1 + 3 * count) {
    damagedPicture("the JPEG frame header is cut short");
  }
  std::uint32_t maxH = 1;
  std::uint32_t maxV = 1;
  for (std::size_t i = 0; i < count; ++i) {
    maxH = std::max<std::uint32_t>(maxH, components[2 + 3 * i] >> 4);
    maxV = std::max<std::uint32_t>(maxV, components[2 + 3 * i] & 15);
  }
  std::uint64_t blocks = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint64_t h = std::max(1, components[2 + 3 * i] >> 4);
    const std::uint64_t v = std::max(1, components[2 + 3 * i] & 15);
    const std::uint64_t width = (size.width * h + maxH - 1) / maxH;
    const std::uint64_t height = (size.height * v + maxV - 1) / maxV;
    blocks += (width + 7) / 8 * ((height + 7) / 8);
  }
  return blocks;
}

// How colour is subsampled against brightness, from the first two components' sampling factors
// (`components` as for blocksOf). Gray has nothing to subsample.
ChromaSampling chromaSampling(std::span<const std::uint8_t> components) {
  if (components[0] < 2) {
    return {1, 1};
  }
  return chromaSamplingOf(components[2] >> 4, components[2] & 15, components[5] >> 4,
                          components[5] & 15);
}

constexpr std::string_view jfifTag{"JFIF\0", 5};

// The pixel density of a JFIF segment's payload; none where it says only that pixels are square.
std::optional<Resolution> jfifDensity(std::span<const std::uint8_t> payload) {
  if (payload.size() < 12 || !startsWith(payload, jfifTag)) {
    return std::nullopt;
  }
  const std::uint32_t units = payload[7];
  Resolution density{.x = bigEndian16(&payload[8]), .y = bigEndian16(&payload[10])};
  density.unit = units == 1   ? Resolution::Unit::Inch
                 : units == 2 ? Resolution::Unit::Centimetre
                              : Resolution::Unit::None;
  if (density.x == 0 || density.y == 0 || units > 2 || (units == 0 && density.x == density.y)) {
    return std::nullopt;
  }
  return density;
}

}  // namespace

PictureHeaders readJpegHeaders(const ByteSource& source) {
  PictureHeaders headers;
  std::map<int, std::vector<std::uint8_t>> iccChunks;
  int iccCount = 0;
  bool sawFrame = false;
  bool sawApp0 = false;
  bool huffmanDct = false;
  std::uint64_t blocks = 0;
  std::uint64_t pos = 2;
  for (;;) {
    std::uint8_t marker[2];
    if (source.readAt(pos, marker, 2) != 2) {
      damagedPicture("the JPEG file ends before its first scan");
    }
    if (marker[0] != 0xFF) {
      damagedPicture("a JPEG marker is missing");
    }
    if (marker[1] == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    pos += 2;
    if ((marker[1] >= 0xD0 && marker[1] <= 0xD7) || marker[1] == 0x01) {
      continue;
    }
    if (marker[1] == 0xD8 || marker[1] == 0xD9) {
      damagedPicture("the JPEG file ends before its first scan");
    }
    std::uint8_t lengthBytes[2];
    if (source.readAt(pos, lengthBytes, 2) != 2) {
      damagedPicture("the JPEG file ends before its first scan");
    }
    const std::uint32_t length = bigEndian16(lengthBytes);
    if (length < 2 || pos + length > source.size()) {
      damagedPicture("a JPEG segment has a bad length");
    }
    if (marker[1] == 0xDA) {
      if (!sawFrame) {
        damagedPicture("the JPEG file has no frame header before its first scan");
      }
      // Each block costs at least one bit in the first scan of a Huffman-coded picture: a file
      // too short for that is cut short, whatever its header claims, and is refused before any
      // pixel memory is taken for it.
      checkSourceSize(headers.size);
      if (huffmanDct && blocks > (source.size() - pos) * 8) {
        damagedPicture("the JPEG file is too short for the " + std::to_string(headers.size.width) +
                       " x " + std::to_string(headers.size.height) + " pixels it declares");
      }
      break;
    }
    const bool frame = isFrameMarker(marker[1]) && !sawFrame;
    const bool app1 = marker[1] == 0xE1;
    const bool app2 = marker[1] == 0xE2;
    const bool app0 = marker[1] == 0xE0 && !sawApp0;
    const bool carried =
        (marker[1] == 0xED || marker[1] == markerComment) && roomFor(headers.metadata, length);
    sawApp0 = sawApp0 || marker[1] == 0xE0;
    if (frame || app0 || app1 || app2 || carried) {
      const std::vector<std::uint8_t> payload = source.read(pos + 2, length - 2);
      if (frame) {
        if (payload.size() < 6) {
          damagedPicture("the JPEG frame header is cut short");
        }
        sawFrame = true;
        headers.size = {bigEndian16(&payload[3]), bigEndian16(&payload[1])};
        huffmanDct = marker[1] <= 0xC2;
        blocks = blocksOf(headers.size, std::span(payload).subspan(5));
        headers.hints.chroma = chromaSampling(std::span(payload).subspan(5));
      } else if (app0) {
        headers.metadata.resolution = jfifDensity(payload);
      } else if (app1 && startsWith(payload, exifTag) && headers.metadata.exif.empty()) {
        headers.metadata.exif.assign(payload.begin() + exifTag.size(), payload.end());
      } else if (app1 && startsWith(payload, xmpTag) && headers.metadata.xmp.empty() &&
                 roomFor(headers.metadata, length)) {
        headers.metadata.xmp.assign(payload.begin() + xmpTag.size(), payload.end());
      } else if (app1 && startsWith(payload, extendedXmpTag) && roomFor(headers.metadata, length)) {
        headers.metadata.extendedXmp.push_back(payload);
      } else if (carried && marker[1] == markerComment) {
        headers.metadata.comments.push_back(payload);
      } else if (carried && startsWith(payload, photoshopTag) && headers.metadata.iptc.empty()) {
        headers.metadata.iptc = payload;
      } else if (app2 && startsWith(payload, iccTag) && payload.size() > iccTag.size() + 2) {
        iccCount = payload[iccTag.size() + 1];
        iccChunks[payload[iccTag.size()]].assign(payload.begin() + iccTag.size() + 2,
                                                 payload.end());
      }
    }
    pos += length;
  }
  bool iccWhole = iccCount > 0 && static_cast<int>(iccChunks.size()) == iccCount;
  for (int sequence = 1; iccWhole && sequence <= iccCount; ++sequence) {
    iccWhole = iccChunks.contains(sequence);
  }
  for (const auto& [sequence, chunk] : iccChunks) {
    if (iccWhole) {
      headers.metadata.icc.insert(headers.metadata.icc.end(), chunk.begin(), chunk.end());
    }
  }
  headers.metadata.orientation = orientationOf(headers.metadata.exif);
  return headers;
}

namespace {

void appendSegment(std::vector<std::uint8_t>& out, std::uint8_t marker, std::string_view tag,
                   std::span<const std::uint8_t> head, std::span<const std::uint8_t> body) {
  const std::size_t length = 2 + tag.size() + head.size() + body.size();
  out.insert(out.end(), {0xFF, marker, static_cast<std::uint8_t>(length >> 8),
                         static_cast<std::uint8_t>(length & 0xFF)});
  out.insert(out.end(), tag.begin(), tag.end());
  out.insert(out.end(), head.begin(), head.end());
  out.insert(out.end(), body.begin(), body.end());
}

// The start of image, and the JFIF or Adobe segment that encoders put right after it.
std::size_t jpegHeadLength(std::span<const std::uint8_t> start) {
  if (start.size() < 4) {
    return 0;
  }
  if (start[2] != 0xFF || (start[3] != 0xE0 && start[3] != 0xEE)) {
    return 2;
  }
  return start.size() < 6 ? 0 : 4 + bigEndian16(&start[4]);
}

// The head with the density in its JFIF segment, which is added when the encoder wrote none (an
// Adobe segment, which a CMYK picture has instead, is left alone).
std::vector<std::uint8_t> withDensity(std::span<const std::uint8_t> head,
                                      const Resolution& density) {
  std::vector<std::uint8_t> out(head.begin(), head.end());
  if (out.size() == 2) {
    static constexpr std::uint8_t version[2] = {1, 1};
    appendSegment(out, 0xE0, jfifTag, version, std::vector<std::uint8_t>(7, 0));
  }
  const std::span<std::uint8_t> payload =
      std::span(out).subspan(std::min<std::size_t>(6, out.size()));
  if (out[3] != 0xE0 || payload.size() < 12 || !startsWith(payload, jfifTag) ||
      density.x > 0xFFFF || density.y > 0xFFFF) {
    return out;
  }
  payload[7] = density.unit == Resolution::Unit::Inch         ? 1
               : density.unit == Resolution::Unit::Centimetre ? 2
                                                              : 0;
  payload[8] = static_cast<std::uint8_t>(density.x >> 8);
  payload[9] = static_cast<std::uint8_t>(density.x);
  payload[10] = static_cast<std::uint8_t>(density.y >> 8);
  payload[11] = static_cast<std::uint8_t>(density.y);
  return out;
}

}  // namespace

std::unique_ptr<MetadataWriter> jpegMetadataWriter(ByteSink& file, const Metadata& metadata) {
  return std::make_unique<HeadRewriter>(
      file, jpegHeadLength, [metadata](std::span<const std::uint8_t> head) {
        std::vector<std::uint8_t> out = metadata.resolution
                                            ? withDensity(head, *metadata.resolution)
                                            : std::vector<std::uint8_t>(head.begin(), head.end());
        if (!metadata.exif.empty() && metadata.exif.size() + exifTag.size() <= maxSegmentPayload) {
          appendSegment(out, 0xE1, exifTag, {}, metadata.exif);
        }
        if (!metadata.xmp.empty() && metadata.xmp.size() + xmpTag.size() <= maxSegmentPayload) {
          appendSegment(out, 0xE1, xmpTag, {}, metadata.xmp);
        }
        for (const std::vector<std::uint8_t>& segment : metadata.extendedXmp) {
          appendSegment(out, 0xE1, {}, {}, segment);
        }
        const std::size_t chunks = (metadata.icc.size() + maxIccChunk - 1) / maxIccChunk;
        for (std::size_t i = 0; chunks <= 255 && i < chunks; ++i) {
          const std::uint8_t numbers[2] = {static_cast<std::uint8_t>(i + 1),
                                           static_cast<std::uint8_t>(chunks)};
          const std::size_t begin = i * maxIccChunk;
          appendSegment(out, 0xE2, iccTag, numbers,
                        std::span(metadata.icc)
                            .subspan(begin, std::min(maxIccChunk, metadata.icc.size() - begin)));
        }
        if (!metadata.iptc.empty()) {
          appendSegment(out, 0xED, {}, {}, metadata.iptc);
        }
        for (const std::vector<std::uint8_t>& comment : metadata.comments) {
          appendSegment(out, markerComment, {}, {}, comment);
        }
        return out;
      });
}

}  // namespace karvelo::converter
