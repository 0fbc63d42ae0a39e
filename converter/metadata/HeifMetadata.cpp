// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/ConversionError.h"
#include "converter/core/ExifBlock.h"
#include "converter/metadata/FormatMetadata.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

// A HEIF file (HEIC and AVIF alike) is a tree of boxes: `ftyp`, then a `meta` box that lists the
// items (the coded pictures, their tiles, EXIF data, XMP packets), where their bytes lie (`iloc`),
// how they refer to one another (`iref`), and the properties of each (`iprp`: size, rotation,
// mirror, crop, colour profile), and the coded bytes in `mdat`. Only the `meta` box is read here.
namespace karvelo::converter {

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint64_t maxMetaBoxBytes = 16 << 20;

// A reader over a box's body that fails as damaged when it would run past the end.
class Cursor {
 public:
  explicit Cursor(Bytes data) : data_(data) {}

  std::uint64_t number(std::size_t bytes) {
    need(bytes);
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
      value = (value << 8) | data_[pos_++];
    }
    return value;
  }
  std::string_view text() {  // a NUL-terminated string
    const Bytes rest = data_.subspan(pos_);
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(rest.data(), 0, rest.size()));
    const std::size_t length = end != nullptr ? static_cast<std::size_t>(end - rest.data()) : rest.size();
    pos_ = std::min(data_.size(), pos_ + length + 1);
    return {reinterpret_cast<const char*>(rest.data()), length};
  }
  Bytes rest() const { return data_.subspan(pos_); }
  bool atEnd() const { return pos_ >= data_.size(); }

 private:
  void need(std::size_t bytes) const {
    if (pos_ + bytes > data_.size()) {
      damagedPicture("the HEIF headers are cut short");
    }
  }

  Bytes data_;
  std::size_t pos_ = 0;
};

struct Box {
  std::string_view type;
  Bytes body;
};

std::uint64_t boxSize(Bytes data, std::size_t at, std::size_t& header) {
  Cursor head(data.subspan(at));
  std::uint64_t size = head.number(4);
  head.number(4);
  header = 8;
  if (size == 1) {
    size = head.number(8);
    header = 16;
  } else if (size == 0) {
    size = data.size() - at;
  }
  if (size < header || size > data.size() - at) {
    damagedPicture("a HEIF box reaches past its end");
  }
  return size;
}

// The boxes that one after another fill `data`.
std::vector<Box> boxesIn(Bytes data) {
  std::vector<Box> boxes;
  for (std::size_t at = 0; at + 8 <= data.size();) {
    std::size_t header = 0;
    const auto size = static_cast<std::size_t>(boxSize(data, at, header));
    boxes.push_back({std::string_view(reinterpret_cast<const char*>(data.data() + at + 4), 4),
                     data.subspan(at + header, size - header)});
    at += size;
  }
  return boxes;
}

const Box* find(const std::vector<Box>& boxes, std::string_view type) {
  const auto found = std::find_if(boxes.begin(), boxes.end(),
                                  [&](const Box& box) { return box.type == type; });
  return found == boxes.end() ? nullptr : &*found;
}

struct Extent {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

struct Item {
  std::uint32_t id = 0;
  std::string type;         // hvc1, av01, grid, Exif, mime, ...
  std::string contentType;  // of a mime item
  int construction = 0;     // 0 bytes in the file, 1 in the meta box's idat
  std::vector<Extent> extents;
  std::vector<std::uint32_t> properties;  // 1-based indexes into ipco, in association order
  std::uint32_t describes = 0;            // the item a cdsc reference says this one describes
};

// Everything the `meta` box says that the converter uses.
struct Meta {
  std::uint32_t primary = 0;
  std::vector<Item> items;
  std::vector<Box> properties;
  Bytes idat;

  Item* item(std::uint32_t id) {
    const auto found =
        std::find_if(items.begin(), items.end(), [&](const Item& i) { return i.id == id; });
    if (found != items.end()) {
      return &*found;
    }
    items.push_back({id, {}, {}, 0, {}, {}, 0});
    return &items.back();
  }
};

void readItemInfos(Meta& meta, Bytes body) {
  Cursor info(body);
  const auto version = info.number(1);
  info.number(3);
  info.number(version == 0 ? 2 : 4);  // entry count; the boxes that follow are counted anyway
  for (const Box& entry : boxesIn(info.rest())) {
    Cursor infe(entry.body);
    const auto entryVersion = infe.number(1);
    infe.number(3);
    if (entry.type != "infe" || entryVersion < 2) {
      continue;
    }
    Item* item = meta.item(static_cast<std::uint32_t>(infe.number(entryVersion == 2 ? 2 : 4)));
    infe.number(2);  // protection index
    const Bytes type = infe.rest().first(std::min<std::size_t>(4, infe.rest().size()));
    item->type.assign(type.begin(), type.end());
    infe.number(4);
    infe.text();  // name
    if (item->type == "mime") {
      item->contentType = infe.text();
    }
  }
}

void readLocations(Meta& meta, Bytes body) {
  Cursor iloc(body);
  const auto version = iloc.number(1);
  iloc.number(3);
  const auto sizes = iloc.number(2);
  const std::size_t offsetSize = (sizes >> 12) & 15;
  const std::size_t lengthSize = (sizes >> 8) & 15;
  const std::size_t baseSize = (sizes >> 4) & 15;
  const std::size_t indexSize = version >= 1 ? sizes & 15 : 0;
  const auto count = iloc.number(version < 2 ? 2 : 4);
  for (std::uint64_t i = 0; i < count; ++i) {
    Item* item = meta.item(static_cast<std::uint32_t>(iloc.number(version < 2 ? 2 : 4)));
    item->construction = version >= 1 ? static_cast<int>(iloc.number(2) & 15) : 0;
    iloc.number(2);  // data reference
    const std::uint64_t base = iloc.number(baseSize);
    const auto extents = iloc.number(2);
    item->extents.clear();
    for (std::uint64_t e = 0; e < extents; ++e) {
      iloc.number(indexSize);
      const std::uint64_t offset = iloc.number(offsetSize);
      item->extents.push_back({base + offset, iloc.number(lengthSize)});
    }
  }
}

void readReferences(Meta& meta, Bytes body) {
  Cursor iref(body);
  const std::size_t idSize = iref.number(1) == 0 ? 2 : 4;
  iref.number(3);
  for (const Box& reference : boxesIn(iref.rest())) {
    Cursor from(reference.body);
    Item* item = meta.item(static_cast<std::uint32_t>(from.number(idSize)));
    const auto count = from.number(2);
    if (reference.type == "cdsc" && count > 0) {
      item->describes = static_cast<std::uint32_t>(from.number(idSize));
    }
  }
}

void readProperties(Meta& meta, Bytes body) {
  const std::vector<Box> boxes = boxesIn(body);
  if (const Box* ipco = find(boxes, "ipco")) {
    meta.properties = boxesIn(ipco->body);
  }
  for (const Box& box : boxes) {
    if (box.type != "ipma") {
      continue;
    }
    Cursor ipma(box.body);
    const auto version = ipma.number(1);
    const bool wide = (ipma.number(3) & 1) != 0;
    const auto count = ipma.number(4);
    for (std::uint64_t i = 0; i < count; ++i) {
      Item* item = meta.item(static_cast<std::uint32_t>(ipma.number(version < 1 ? 2 : 4)));
      const auto associations = ipma.number(1);
      for (std::uint64_t a = 0; a < associations; ++a) {
        item->properties.push_back(
            static_cast<std::uint32_t>(ipma.number(wide ? 2 : 1) & (wide ? 0x7FFF : 0x7F)));
      }
    }
  }
}

Meta readMeta(Bytes body) {
  Cursor full(body);
  full.number(4);  // version and flags
  Meta meta;
  for (const Box& box : boxesIn(full.rest())) {
    if (box.type == "pitm") {
      Cursor pitm(box.body);
      const std::size_t idSize = pitm.number(1) == 0 ? 2 : 4;
      pitm.number(3);
      meta.primary = static_cast<std::uint32_t>(pitm.number(idSize));
    } else if (box.type == "iinf") {
      readItemInfos(meta, box.body);
    } else if (box.type == "iloc") {
      readLocations(meta, box.body);
    } else if (box.type == "iref") {
      readReferences(meta, box.body);
    } else if (box.type == "iprp") {
      readProperties(meta, box.body);
    } else if (box.type == "idat") {
      meta.idat = box.body;
    }
  }
  return meta;
}

// An item's bytes, or nothing when they lie elsewhere or exceed `limit`.
std::vector<std::uint8_t> itemBytes(const Meta& meta, const Item& item, const ByteSource& source,
                                    std::uint64_t limit) {
  std::uint64_t total = 0;
  for (const Extent& extent : item.extents) {
    total += extent.length;
  }
  std::vector<std::uint8_t> bytes;
  if (item.construction > 1 || total > limit || total == 0) {
    return bytes;
  }
  for (const Extent& extent : item.extents) {
    if (item.construction == 1) {
      if (extent.offset > meta.idat.size() || extent.length > meta.idat.size() - extent.offset) {
        return {};
      }
      const Bytes part = meta.idat.subspan(extent.offset, extent.length);
      bytes.insert(bytes.end(), part.begin(), part.end());
    } else {
      const std::vector<std::uint8_t> part =
          source.read(extent.offset, static_cast<std::size_t>(extent.length));
      if (part.size() != extent.length) {
        return {};
      }
      bytes.insert(bytes.end(), part.begin(), part.end());
    }
  }
  return bytes;
}

// The EXIF item holds the offset of its TIFF header, then the bytes before and from it.
std::vector<std::uint8_t> tiffPart(const std::vector<std::uint8_t>& exifItem) {
  if (exifItem.size() < 4) {
    return {};
  }
  const std::uint64_t start = 4 + std::uint64_t{bigEndian32(exifItem.data())};
  if (start + 8 > exifItem.size()) {
    return {};
  }
  return {exifItem.begin() + static_cast<std::ptrdiff_t>(start), exifItem.end()};
}

// The primary picture's size as shown: its stored size with its crop and quarter turns applied,
// in the order in which they are associated with it, as libheif applies them. (libheif 1.15
// writes a turn before the size, and that size already turned; a turn after the size turns it.)
PixelSize shownSize(const Meta& meta, const Item& primary, Metadata& metadata, bool& turned) {
  std::optional<PixelSize> size;
  for (const std::uint32_t index : primary.properties) {
    if (index == 0 || index > meta.properties.size()) {
      continue;
    }
    const Box& property = meta.properties[index - 1];
    Cursor body(property.body);
    if (property.type == "ispe") {
      body.number(4);
      const auto width = static_cast<std::uint32_t>(body.number(4));
      size = PixelSize{width, static_cast<std::uint32_t>(body.number(4))};
    } else if (property.type == "irot") {
      const auto quarters = body.number(1) & 3;
      turned = turned || quarters != 0;
      if (size && (quarters & 1) != 0) {
        size = PixelSize{size->height, size->width};
      }
    } else if (property.type == "imir") {
      turned = true;
    } else if (property.type == "clap" && size) {
      const auto fraction = [&] {
        const auto n = static_cast<double>(body.number(4));
        const auto d = static_cast<double>(body.number(4));
        return d > 0 ? n / d : 0.0;
      };
      const double width = fraction();
      const double height = fraction();
      if (width >= 1 && height >= 1 && width <= size->width && height <= size->height) {
        size = PixelSize{static_cast<std::uint32_t>(std::lround(width)),
                         static_cast<std::uint32_t>(std::lround(height))};
      }
    } else if (property.type == "colr" && metadata.icc.empty()) {
      const Bytes kind = body.rest().first(std::min<std::size_t>(4, body.rest().size()));
      const std::string_view type(reinterpret_cast<const char*>(kind.data()), kind.size());
      if ((type == "prof" || type == "rICC") && body.rest().size() > 4) {
        metadata.icc.assign(body.rest().begin() + 4, body.rest().end());
      }
    }
  }
  if (!size || size->width == 0 || size->height == 0) {
    damagedPicture("the HEIF headers give the picture no size");
  }
  return *size;
}

}  // namespace

std::optional<PictureFormat> heifFormatOf(std::span<const std::uint8_t> head) {
  if (head.size() < 16 || std::memcmp(head.data() + 4, "ftyp", 4) != 0) {
    return std::nullopt;
  }
  const std::size_t end = std::min<std::size_t>(head.size(), bigEndian32(head.data()));
  std::optional<PictureFormat> format;
  for (std::size_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4) {  // major, then compatible
    const std::string_view brand(reinterpret_cast<const char*>(head.data() + at), 4);
    if (brand == "avif" || brand == "avis") {
      return PictureFormat::Avif;
    }
    if (brand == "heic" || brand == "heix" || brand == "hevc" || brand == "hevx" ||
        brand == "heim" || brand == "heis" || brand == "mif1" || brand == "msf1") {
      format = PictureFormat::Heif;
    }
  }
  return format;
}

PictureHeaders readHeifHeaders(const ByteSource& source) {
  // The top-level boxes, read by their headers alone until the `meta` box.
  std::vector<std::uint8_t> metaBody;
  for (std::uint64_t at = 0; at + 8 <= source.size();) {
    const std::vector<std::uint8_t> head = source.read(at, 16);
    if (head.size() < 8) {
      break;
    }
    std::uint64_t size = bigEndian32(head.data());
    std::size_t header = 8;
    if (size == 1 && head.size() == 16) {
      size = (std::uint64_t{bigEndian32(&head[8])} << 32) | bigEndian32(&head[12]);
      header = 16;
    } else if (size == 0) {
      size = source.size() - at;
    }
    if (size < header || size > source.size() - at) {
      damagedPicture("a HEIF box reaches past the end of the file");
    }
    if (std::memcmp(&head[4], "meta", 4) == 0) {
      if (size - header > maxMetaBoxBytes) {
        damagedPicture("the HEIF item list is too large");
      }
      metaBody = source.read(at + header, static_cast<std::size_t>(size - header));
      break;
    }
    at += size;
  }
  if (metaBody.empty()) {
    throw ConversionError(ExitCode::UnsupportedFormat,
                          "this HEIF file holds no still picture (a sequence alone is not read)");
  }
  Meta meta = readMeta(metaBody);
  const auto primary = std::find_if(meta.items.begin(), meta.items.end(),
                                    [&](const Item& item) { return item.id == meta.primary; });
  if (meta.primary == 0 || primary == meta.items.end()) {
    damagedPicture("the HEIF headers name no primary picture");
  }
  PictureHeaders headers;
  bool turned = false;
  headers.size = shownSize(meta, *primary, headers.metadata, turned);
  for (const Item& item : meta.items) {
    if (item.describes != meta.primary) {
      continue;
    }
    if (item.type == "Exif" && headers.metadata.exif.empty()) {
      headers.metadata.exif = tiffPart(itemBytes(meta, item, source, maxMetadataBytes));
    } else if (item.type == "mime" && item.contentType == "application/rdf+xml" &&
               headers.metadata.xmp.empty()) {
      std::uint64_t room = maxCarriedMetadataBytes - headers.metadata.carriedBytes();
      headers.metadata.xmp = itemBytes(meta, item, source, room);
    }
  }
  // The decoder turns the picture upright by the file's own transformations, which take the
  // place of the EXIF orientation in this format: the EXIF tag is only reset, and a thumbnail of
  // the stored pixels dropped, since it would stand the wrong way.
  headers.metadata.orientation = 1;
  if (turned && !headers.metadata.exif.empty()) {
    ExifBlock exif(std::move(headers.metadata.exif));
    exif.dropThumbnail();
    headers.metadata.exif = exif.bytes();
  }
  return headers;
}

}  // namespace karvelo::converter
