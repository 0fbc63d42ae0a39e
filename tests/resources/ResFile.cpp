// SPDX-License-Identifier: GPL-3.0-or-later
#include "ResFile.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace karvelo::testing {

namespace {

std::size_t align4(std::size_t offset) { return (offset + 3) & ~std::size_t{3}; }

void need(const std::vector<std::uint8_t>& data, std::size_t offset, std::size_t count) {
  if (offset > data.size() || count > data.size() - offset) {
    throw std::runtime_error("resource data ends early");
  }
}

// A type or name field: 0xFFFF and a number, or a zero-terminated UTF-16 string (not used here).
std::uint16_t readOrdinal(const std::vector<std::uint8_t>& data, std::size_t& offset) {
  if (readU16(data, offset) != 0xFFFF) throw std::runtime_error("named resource entry");
  const std::uint16_t value = readU16(data, offset + 2);
  offset += 4;
  return value;
}

std::u16string readKey(const std::vector<std::uint8_t>& data, std::size_t& offset,
                       std::size_t end) {
  std::u16string key;
  for (;;) {
    if (offset + 2 > end) throw std::runtime_error("version key runs past its node");
    const char16_t c = readU16(data, offset);
    offset += 2;
    if (c == 0) return key;
    key += c;
  }
}

VersionNode parseNode(const std::vector<std::uint8_t>& data, std::size_t start, std::size_t limit) {
  const std::size_t length = readU16(data, start);
  const std::size_t valueLength = readU16(data, start + 2);
  const std::uint16_t type = readU16(data, start + 4);
  const std::size_t end = start + length;
  if (length < 6 || end > limit) throw std::runtime_error("version node overruns its parent");
  VersionNode node;
  node.text = type == 1;
  std::size_t offset = start + 6;
  node.key = readKey(data, offset, end);
  offset = align4(offset);
  const std::size_t valueBytes = node.text ? valueLength * 2 : valueLength;
  if (offset + valueBytes > end) throw std::runtime_error("version value overruns its node");
  node.value.assign(data.begin() + static_cast<std::ptrdiff_t>(offset),
                    data.begin() + static_cast<std::ptrdiff_t>(offset + valueBytes));
  offset = align4(offset + valueBytes);
  while (offset < end) {
    VersionNode child = parseNode(data, offset, end);
    offset = align4(offset + readU16(data, offset));
    node.children.push_back(std::move(child));
  }
  return node;
}

}  // namespace

std::uint16_t readU16(const std::vector<std::uint8_t>& data, std::size_t offset) {
  need(data, offset, 2);
  return static_cast<std::uint16_t>(data[offset] | data[offset + 1] << 8);
}

std::uint32_t readU32(const std::vector<std::uint8_t>& data, std::size_t offset) {
  return readU16(data, offset) | static_cast<std::uint32_t>(readU16(data, offset + 2)) << 16;
}

std::string narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::string VersionNode::textValue() const {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
    const char16_t c = readU16(value, i);
    if (c == 0) break;
    text += c;
  }
  return narrow(text);
}

std::vector<Resource> readResFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path.string());
  const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in),
                                       std::istreambuf_iterator<char>()};
  std::vector<Resource> resources;
  std::size_t offset = 0;
  bool first = true;
  while (offset < file.size()) {
    const std::uint32_t dataSize = readU32(file, offset);
    const std::uint32_t headerSize = readU32(file, offset + 4);
    if (headerSize < 32) throw std::runtime_error("resource header too short");
    need(file, offset, headerSize);
    const std::size_t dataStart = offset + headerSize;
    need(file, dataStart, dataSize);
    if (first && dataSize == 0) {  // the empty entry that opens every .res file
      first = false;
      offset = align4(dataStart);
      continue;
    }
    first = false;
    std::size_t field = offset + 8;
    Resource resource;
    resource.type = readOrdinal(file, field);
    resource.id = readOrdinal(file, field);
    field = align4(field);
    // Then: data version (32), memory flags (16), language (16), version, characteristics.
    resource.language = readU16(file, field + 6);
    resource.data.assign(file.begin() + static_cast<std::ptrdiff_t>(dataStart),
                         file.begin() + static_cast<std::ptrdiff_t>(dataStart + dataSize));
    resources.push_back(std::move(resource));
    offset = align4(dataStart + dataSize);
  }
  return resources;
}

VersionNode parseVersionBlock(const std::vector<std::uint8_t>& data) {
  need(data, 0, 6);
  return parseNode(data, 0, data.size());
}

}  // namespace karvelo::testing
