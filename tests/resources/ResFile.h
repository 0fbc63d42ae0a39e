// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace karvelo::testing {

// One resource of a compiled resource file (.res): numeric type and ID, language, raw data.
struct Resource {
  std::uint16_t type = 0;
  std::uint16_t id = 0;
  std::uint16_t language = 0;
  std::vector<std::uint8_t> data;
};

// Reads a .res file: a sequence of entries, each a header (data size, header size, type, name,
// version and flags, language) followed by its data, both padded to four bytes; the leading
// empty entry is skipped. Throws std::runtime_error on a malformed file or a named resource.
std::vector<Resource> readResFile(const std::filesystem::path& path);

// A node of a version block: key, value bytes, whether the value is text, and the children.
struct VersionNode {
  std::u16string key;
  bool text = false;
  std::vector<std::uint8_t> value;
  std::vector<VersionNode> children;

  // The value read as UTF-16 text up to its terminating zero, narrowed (ASCII only).
  std::string textValue() const;
};

// Parses the version block from its first byte. Throws std::runtime_error when malformed.
VersionNode parseVersionBlock(const std::vector<std::uint8_t>& data);

std::uint16_t readU16(const std::vector<std::uint8_t>& data, std::size_t offset);
std::uint32_t readU32(const std::vector<std::uint8_t>& data, std::size_t offset);
std::string narrow(const std::u16string& text);

}  // namespace karvelo::testing
