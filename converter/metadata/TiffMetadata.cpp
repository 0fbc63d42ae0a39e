// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/ConversionError.h"
#include "converter/metadata/FormatMetadata.h"
#include "converter/metadata/TiffDirectory.h"

#include <algorithm>
#include <iterator>

namespace karvelo::converter {

namespace {

constexpr std::uint16_t tagSubfileType = 254;
constexpr std::uint16_t tagWidth = 256;
constexpr std::uint16_t tagHeight = 257;
constexpr std::uint16_t tagBitsPerSample = 258;
constexpr std::uint16_t tagCompression = 259;
constexpr std::uint16_t tagOrientation = 274;
constexpr std::uint16_t tagXResolution = 282;
constexpr std::uint16_t tagYResolution = 283;
constexpr std::uint16_t tagResolutionUnit = 296;
constexpr std::uint16_t tagXmp = 700;
constexpr std::uint16_t tagIptc = 33723;
constexpr std::uint16_t typeByte = 1;
constexpr std::uint16_t typeAscii = 2;
constexpr std::uint16_t typeShort = 3;
// The descriptive tags carried over: description, maker, model, software, date, artist and
// copyright.
constexpr std::uint16_t textTags[] = {270, 271, 272, 305, 306, 315, 33432};
constexpr std::uint16_t typeRational = 5;

bool headerTag(std::uint16_t tag) {
  return tag == tagWidth || tag == tagHeight || tag == tagBitsPerSample || tag == tagCompression ||
         tag == tagOrientation || tag == tagXResolution || tag == tagYResolution ||
         tag == tagResolutionUnit || tag == tiffTagIccProfile || tag == tiffTagExifIfd ||
         tag == tiffTagGpsIfd || tag == tagXmp || tag == tagIptc ||
         std::find(std::begin(textTags), std::end(textTags), tag) != std::end(textTags);
}

// The blocks of a first directory carried unread, within the limit for them.
void readCarried(const TiffIfd& first, Metadata& metadata) {
  const auto carry = [&](std::uint16_t tag, std::vector<std::uint8_t>& into) {
    const TiffEntry* entry = first.find(tag);
    if (entry && !entry->value.empty() && roomFor(metadata, entry->value.size())) {
      into = entry->value;
    }
  };
  carry(tagXmp, metadata.xmp);
  carry(tagIptc, metadata.iptc);
  for (const std::uint16_t tag : textTags) {
    if (const TiffEntry* entry = first.find(tag); entry && entry->type == typeAscii) {
      carry(tag, metadata.tiffText[tag]);
      if (metadata.tiffText[tag].empty()) {
        metadata.tiffText.erase(tag);
      }
    }
  }
}

// The carried blocks as entries of a first directory: the XMP packet as bytes, the IPTC data as
// they stood (whatever type the source gave them, they are a byte stream).
void putCarried(TiffIfd& first, const Metadata& metadata) {
  const auto put = [&](std::uint16_t tag, std::uint16_t type,
                       const std::vector<std::uint8_t>& value) {
    if (!value.empty()) {
      first.put({tag, type, static_cast<std::uint32_t>(value.size()), value});
    }
  };
  put(tagXmp, typeByte, metadata.xmp);
  put(tagIptc, tiffTypeUndefined, metadata.iptc);
  for (const auto& [tag, value] : metadata.tiffText) {
    put(tag, typeAscii, value);
  }
}

// The resolution of a directory; a unit the tags leave out is the inch.
std::optional<Resolution> resolutionOf(const TiffIfd& ifd) {
  const auto x = ifd.fraction(tagXResolution);
  const auto y = ifd.fraction(tagYResolution);
  const std::uint32_t unit = ifd.number(tagResolutionUnit).value_or(2);
  if (!x || !y || x->first == 0 || x->second == 0 || y->first == 0 || y->second == 0 || unit < 1 ||
      unit > 3) {
    return std::nullopt;
  }
  return Resolution{x->first, x->second, y->first, y->second,
                    unit == 2   ? Resolution::Unit::Inch
                    : unit == 3 ? Resolution::Unit::Centimetre
                                : Resolution::Unit::None};
}

void putResolution(TiffIfd& ifd, const Resolution& resolution, bool bigEndian) {
  const auto rational = [&](std::uint32_t numerator, std::uint32_t denominator) {
    std::vector<std::uint8_t> value = tiffLong(numerator, bigEndian);
    const std::vector<std::uint8_t> low = tiffLong(denominator, bigEndian);
    value.insert(value.end(), low.begin(), low.end());
    return value;
  };
  // A resolution in metres (which TIFF has no unit for) is given per centimetre.
  const bool metre = resolution.unit == Resolution::Unit::Metre;
  ifd.put({tagXResolution, typeRational, 1,
           rational(resolution.x, resolution.xDenominator * (metre ? 100 : 1))});
  ifd.put({tagYResolution, typeRational, 1,
           rational(resolution.y, resolution.yDenominator * (metre ? 100 : 1))});
  const std::uint16_t unit = resolution.unit == Resolution::Unit::Inch   ? 2
                             : resolution.unit == Resolution::Unit::None ? 1
                                                                         : 3;
  ifd.put({tagResolutionUnit,
           typeShort,
           1,
           {static_cast<std::uint8_t>(bigEndian ? 0 : unit),
            static_cast<std::uint8_t>(bigEndian ? unit : 0)}});
}

// The EXIF and GPS directories of a first directory, as a first directory of their own.
TiffIfd exifPart(const TiffIfd& ifd) {
  TiffIfd part;
  part.bigEndian = ifd.bigEndian;
  for (const auto& [tag, child] : ifd.children) {
    if (tag == tiffTagExifIfd || tag == tiffTagGpsIfd) {
      part.put(*ifd.find(tag));
      part.children.emplace_back(tag, child);
    }
  }
  return part;
}

// Rewrites the finished file's first directory at its end with the profile, the resolution, the
// EXIF and GPS directories and the carried blocks added, and points the header at it; the pixel
// data stays where it is.
class TiffMetadataWriter final : public PassingWriter {
 public:
  TiffMetadataWriter(ByteSink& file, const Metadata& metadata)
      : PassingWriter(file), metadata_(metadata) {}

  void finish() override {
    const std::optional<TiffHeader> header = readTiffHeader(file_);
    if (!header) {
      throw std::runtime_error("the TIFF encoder wrote no TIFF header");
    }
    std::optional<TiffIfd> first =
        readTiffIfd(file_, header->bigEndian, header->firstIfd, 0, nullptr, 1u << 30);
    if (!first) {
      throw std::runtime_error("the TIFF encoder wrote no directory");
    }
    if (!metadata_.icc.empty()) {
      first->put({tiffTagIccProfile, tiffTypeUndefined,
                  static_cast<std::uint32_t>(metadata_.icc.size()), metadata_.icc});
    }
    if (metadata_.resolution) {
      putResolution(*first, *metadata_.resolution, header->bigEndian);
    }
    putCarried(*first, metadata_);
    const MemorySource exif(metadata_.exif);
    if (const auto exifHeader = readTiffHeader(exif)) {
      if (const auto exifFirst = readTiffIfd(exif, exifHeader->bigEndian, exifHeader->firstIfd)) {
        const TiffIfd part = exifPart(*exifFirst);
        for (const auto& [tag, child] : part.children) {
          first->put(*part.find(tag));
          first->children.emplace_back(tag, child);
        }
      }
    }
    const std::uint64_t end = (file_.size() + 1) / 2 * 2;
    if (end > 0xFFFFFFFFu) {
      throw std::runtime_error("the TIFF file is too large for its metadata");
    }
    file_.writeAt(end, layOutTiffIfd(*first, header->bigEndian, static_cast<std::uint32_t>(end),
                                     first->next));
    file_.writeAt(4, tiffLong(static_cast<std::uint32_t>(end), header->bigEndian));
  }

 private:
  Metadata metadata_;
};

bool pageTag(std::uint16_t tag) {
  return tag == tagSubfileType || tag == tagWidth || tag == tagHeight || tag == tagBitsPerSample;
}

// Samples of more than 32 bits (doubles) are read by neither system's decoder: refused as a kind
// the converter cannot read, the same on both, before anything is decoded.
void refuseWideSamples(const TiffIfd& page) {
  const TiffEntry* bits = page.find(tagBitsPerSample);
  if (bits == nullptr || bits->type != 3 || bits->value.size() < 2) {
    return;
  }
  const std::uint8_t* value = bits->value.data();
  if ((page.bigEndian ? value[0] << 8 | value[1] : value[1] << 8 | value[0]) > 32) {
    throw ConversionError(ExitCode::UnsupportedFormat,
                          "TIFF pictures of samples wider than 32 bits are not supported");
  }
}

// Counts the pages after the first and adds their pixels, passing over reduced-resolution images
// (thumbnails), which are no pages. A chain of directories that loops ends where it does; one
// that names a directory that cannot be read is damaged.
void countPages(const ByteSource& source, const TiffIfd& first, PictureHeaders& headers) {
  std::vector<std::uint32_t> seen;
  for (std::uint32_t next = first.next; next != 0 && headers.allPixels <= maxPictureArea;) {
    if (std::find(seen.begin(), seen.end(), next) != seen.end() || seen.size() >= 0xFFFF) {
      break;
    }
    seen.push_back(next);
    const std::optional<TiffIfd> page = readTiffIfd(source, first.bigEndian, next, 0, pageTag);
    if (!page) {
      // A result without the page would lose it and still say it succeeded.
      damagedPicture("a later page of the TIFF cannot be read");
    }
    if ((page->number(tagSubfileType).value_or(0) & 1) == 0) {
      refuseWideSamples(*page);
      ++headers.frames;
      headers.allPixels += std::min<std::uint64_t>(
          std::uint64_t{page->number(tagWidth).value_or(0)} * page->number(tagHeight).value_or(0),
          maxPictureArea + 1);
    }
    next = page->next;
  }
}

}  // namespace

PictureHeaders readTiffHeaders(const ByteSource& source) {
  const std::optional<TiffHeader> header = readTiffHeader(source);
  if (!header) {
    damagedPicture("the TIFF header cannot be read");
  }
  const std::optional<TiffIfd> first =
      readTiffIfd(source, header->bigEndian, header->firstIfd, 0, headerTag);
  if (!first || !first->number(tagWidth) || !first->number(tagHeight)) {
    damagedPicture("the TIFF file has no picture size");
  }
  refuseWideSamples(*first);
  PictureHeaders headers;
  headers.size = {*first->number(tagWidth), *first->number(tagHeight)};
  headers.allPixels = headers.size.area();
  countPages(source, *first, headers);
  headers.hints.compression = static_cast<int>(first->number(tagCompression).value_or(1));
  const std::uint32_t orientation = first->number(tagOrientation).value_or(1);
  headers.metadata.orientation =
      orientation >= 1 && orientation <= 8 ? static_cast<int>(orientation) : 1;
  headers.metadata.resolution = resolutionOf(*first);
  if (const TiffEntry* icc = first->find(tiffTagIccProfile)) {
    headers.metadata.icc = icc->value;
  }
  readCarried(*first, headers.metadata);
  const TiffIfd exif = exifPart(*first);
  if (!exif.children.empty()) {
    headers.metadata.exif = exifBlockOf(exif);
  }
  return headers;
}

std::unique_ptr<MetadataWriter> tiffMetadataWriter(ByteSink& file, const Metadata& metadata) {
  return std::make_unique<TiffMetadataWriter>(file, metadata);
}

}  // namespace karvelo::converter
