// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/metadata/TiffDirectory.h"

#include <algorithm>
#include <array>

namespace karvelo::converter {

namespace {

constexpr int maxDepth = 3;

std::uint32_t typeSize(std::uint16_t type) {
  switch (type) {
    case 1:  // BYTE
    case 2:  // ASCII
    case 6:  // SBYTE
    case 7:  // UNDEFINED
      return 1;
    case 3:  // SHORT
    case 8:  // SSHORT
      return 2;
    case 4:   // LONG
    case 9:   // SLONG
    case 11:  // FLOAT
    case 13:  // IFD
      return 4;
    case 5:   // RATIONAL
    case 10:  // SRATIONAL
    case 12:  // DOUBLE
      return 8;
    default:
      return 0;
  }
}

// The width of each number a value is made of, for swapping the byte order.
std::uint32_t elementSize(std::uint16_t type) {
  return type == 5 || type == 10 ? 4 : typeSize(type);
}

bool isPointer(std::uint16_t tag) {
  return tag == tiffTagExifIfd || tag == tiffTagGpsIfd || tag == tiffTagInteropIfd;
}

std::uint32_t decode(const std::uint8_t* bytes, std::size_t size, bool bigEndian) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t at = bigEndian ? i : size - 1 - i;
    value = (value << 8) | bytes[at];
  }
  return value;
}

void encode(std::vector<std::uint8_t>& out, std::uint32_t value, std::size_t size, bool bigEndian) {
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t shift = 8 * (bigEndian ? size - 1 - i : i);
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

std::vector<std::uint8_t> inOrder(const TiffEntry& entry, bool from, bool to) {
  std::vector<std::uint8_t> value = entry.value;
  const std::uint32_t size = elementSize(entry.type);
  if (from != to && size > 1) {
    for (std::size_t i = 0; i + size <= value.size(); i += size) {
      std::reverse(value.begin() + static_cast<std::ptrdiff_t>(i),
                   value.begin() + static_cast<std::ptrdiff_t>(i + size));
    }
  }
  return value;
}

std::optional<TiffIfd> readLevel(const ByteSource& source, bool bigEndian, std::uint64_t offset,
                                 std::uint64_t base, bool (*wanted)(std::uint16_t),
                                 std::size_t& budget, int depth) {
  std::uint8_t countBytes[2];
  if (source.readAt(base + offset, countBytes, 2) != 2) {
    return std::nullopt;
  }
  const std::uint32_t count = decode(countBytes, 2, bigEndian);
  const std::vector<std::uint8_t> table = source.read(base + offset + 2, count * 12 + 4);
  if (table.size() < count * 12) {
    return std::nullopt;
  }
  TiffIfd ifd;
  ifd.bigEndian = bigEndian;
  if (table.size() == count * 12 + 4) {
    ifd.next = decode(table.data() + count * 12, 4, bigEndian);
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* raw = table.data() + i * 12;
    TiffEntry entry{static_cast<std::uint16_t>(decode(raw, 2, bigEndian)),
                    static_cast<std::uint16_t>(decode(raw + 2, 2, bigEndian)),
                    decode(raw + 4, 4, bigEndian),
                    {}};
    const std::uint64_t length = std::uint64_t{typeSize(entry.type)} * entry.count;
    if ((wanted != nullptr && !wanted(entry.tag)) || typeSize(entry.type) == 0 || length > budget) {
      continue;
    }
    if (length <= 4) {
      entry.value.assign(raw + 8, raw + 8 + length);
    } else {
      entry.value = source.read(base + decode(raw + 8, 4, bigEndian), length);
      if (entry.value.size() != length) {
        continue;
      }
    }
    budget -= static_cast<std::size_t>(length);
    std::optional<TiffIfd> child;
    if (isPointer(entry.tag)) {
      // Only a single LONG or IFD is an offset: a pointer of another type is laid out again as an
      // offset its type does not describe, so it is dropped with what it points at.
      if (entry.count == 1 && (entry.type == 4 || entry.type == 13) && depth < maxDepth) {
        child = readLevel(source, bigEndian, decode(raw + 8, 4, bigEndian), base, nullptr, budget,
                          depth + 1);
      }
      if (!child) {
        continue;
      }
    }
    const std::uint16_t tag = entry.tag;
    ifd.put(std::move(entry));
    if (child) {
      ifd.children.emplace_back(tag, std::move(*child));
    }
  }
  return ifd;
}

}  // namespace

const TiffEntry* TiffIfd::find(std::uint16_t tag) const {
  for (const TiffEntry& entry : entries) {
    if (entry.tag == tag) {
      return &entry;
    }
  }
  return nullptr;
}

std::optional<std::uint32_t> TiffIfd::number(std::uint16_t tag) const {
  const TiffEntry* entry = find(tag);
  if (entry == nullptr || entry->count != 1 || (entry->type != 3 && entry->type != 4)) {
    return std::nullopt;
  }
  return decode(entry->value.data(), entry->value.size(), bigEndian);
}

std::optional<std::pair<std::uint32_t, std::uint32_t>> TiffIfd::fraction(
    std::uint16_t tag) const {
  const TiffEntry* entry = find(tag);
  if (entry == nullptr || entry->count != 1 || entry->type != 5 || entry->value.size() != 8) {
    return std::nullopt;
  }
  return std::pair(decode(entry->value.data(), 4, bigEndian),
                   decode(entry->value.data() + 4, 4, bigEndian));
}

void TiffIfd::put(TiffEntry entry) {
  remove(entry.tag);
  const auto at = std::find_if(entries.begin(), entries.end(),
                               [&](const TiffEntry& e) { return e.tag > entry.tag; });
  entries.insert(at, std::move(entry));
}

void TiffIfd::remove(std::uint16_t tag) {
  std::erase_if(entries, [&](const TiffEntry& e) { return e.tag == tag; });
  std::erase_if(children, [&](const TiffChild& child) { return child.tag == tag; });
}

std::optional<TiffHeader> readTiffHeader(const ByteSource& source, std::uint64_t base) {
  std::uint8_t head[8];
  if (source.readAt(base, head, 8) != 8) {
    return std::nullopt;
  }
  const bool bigEndian = head[0] == 'M' && head[1] == 'M';
  if ((!bigEndian && (head[0] != 'I' || head[1] != 'I')) || decode(head + 2, 2, bigEndian) != 42) {
    return std::nullopt;
  }
  return TiffHeader{bigEndian, decode(head + 4, 4, bigEndian)};
}

std::optional<TiffIfd> readTiffIfd(const ByteSource& source, bool bigEndian, std::uint64_t offset,
                                   std::uint64_t base, bool (*wanted)(std::uint16_t),
                                   std::size_t budget) {
  return readLevel(source, bigEndian, offset, base, wanted, budget, 0);
}

std::vector<std::uint8_t> layOutTiffIfd(const TiffIfd& ifd, bool bigEndian, std::uint32_t at,
                                        std::uint32_t next) {
  const auto count = static_cast<std::uint32_t>(ifd.entries.size());
  std::vector<std::uint8_t> table;
  std::vector<std::uint8_t> values;  // what does not fit into the entries, then the children
  const std::uint32_t valuesAt = at + 2 + count * 12 + 4;
  auto placeValue = [&](const std::vector<std::uint8_t>& value) {
    if (values.size() % 2 != 0) {
      values.push_back(0);  // values begin on a word boundary
    }
    const auto offset = valuesAt + static_cast<std::uint32_t>(values.size());
    values.insert(values.end(), value.begin(), value.end());
    return offset;
  };
  encode(table, count, 2, bigEndian);
  std::vector<std::pair<std::size_t, const TiffIfd*>> pointers;  // where each child's offset goes
  for (const TiffEntry& entry : ifd.entries) {
    encode(table, entry.tag, 2, bigEndian);
    encode(table, entry.type, 2, bigEndian);
    encode(table, entry.count, 4, bigEndian);
    const auto child = std::find_if(ifd.children.begin(), ifd.children.end(),
                                    [&](const TiffChild& c) { return c.tag == entry.tag; });
    if (child != ifd.children.end()) {
      pointers.emplace_back(table.size(), &child->ifd);
      encode(table, 0, 4, bigEndian);
    } else if (entry.value.size() <= 4) {
      std::vector<std::uint8_t> value = inOrder(entry, ifd.bigEndian, bigEndian);
      value.resize(4, 0);
      table.insert(table.end(), value.begin(), value.end());
    } else {
      encode(table, placeValue(inOrder(entry, ifd.bigEndian, bigEndian)), 4, bigEndian);
    }
  }
  encode(table, next, 4, bigEndian);
  for (const auto& [position, child] : pointers) {
    if (values.size() % 2 != 0) {
      values.push_back(0);
    }
    const auto childAt = valuesAt + static_cast<std::uint32_t>(values.size());
    const std::vector<std::uint8_t> laid = layOutTiffIfd(*child, bigEndian, childAt);
    values.insert(values.end(), laid.begin(), laid.end());
    std::vector<std::uint8_t> offset;
    encode(offset, childAt, 4, bigEndian);
    std::copy(offset.begin(), offset.end(), table.begin() + static_cast<std::ptrdiff_t>(position));
  }
  table.insert(table.end(), values.begin(), values.end());
  return table;
}

std::vector<std::uint8_t> tiffLong(std::uint32_t value, bool bigEndian) {
  std::vector<std::uint8_t> bytes;
  encode(bytes, value, 4, bigEndian);
  return bytes;
}

std::vector<std::uint8_t> exifBlockOf(const TiffIfd& first) {
  std::vector<std::uint8_t> block = {static_cast<std::uint8_t>(first.bigEndian ? 'M' : 'I'),
                                     static_cast<std::uint8_t>(first.bigEndian ? 'M' : 'I')};
  encode(block, 42, 2, first.bigEndian);
  encode(block, 8, 4, first.bigEndian);
  const std::vector<std::uint8_t> ifd = layOutTiffIfd(first, first.bigEndian, 8);
  block.insert(block.end(), ifd.begin(), ifd.end());
  return block;
}

}  // namespace karvelo::converter
