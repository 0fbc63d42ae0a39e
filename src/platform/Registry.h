// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace karvelo::platform {

// Reading the system registry, in the shape of the operating system's own calls: each returns a
// status, 0 for success and a system error code otherwise. Texts are handed over as the program
// holds them and converted by the implementation; value data comes back as raw bytes, which
// valueText turns into program text.
class Registry {
 public:
  // A key handle: a predefined root key or a key opened by openKey; 0 for none.
  using Key = std::uintptr_t;

  // Predefined root key values (32-bit values; a 64-bit system sign-extends them).
  static constexpr Key LocalMachine = 0x80000002u;

  // Status codes.
  static constexpr long Success = 0;
  static constexpr long FileNotFound = 2;
  static constexpr long InvalidHandle = 6;
  static constexpr long MoreData = 234;

  // Value types.
  static constexpr std::uint32_t TypeString = 1;        // REG_SZ
  static constexpr std::uint32_t TypeExpandString = 2;  // REG_EXPAND_SZ
  static constexpr std::uint32_t TypeBinary = 3;        // REG_BINARY
  static constexpr std::uint32_t TypeDword = 4;         // REG_DWORD
  static constexpr std::uint32_t TypeMultiString = 7;   // REG_MULTI_SZ

  virtual ~Registry() = default;

  // Opens the key `subKey` below `root` with the options word and access mask given; on success
  // `handle` receives the open key. On failure `handle` is left as it was.
  virtual long openKey(Key root, const std::string& subKey, std::uint32_t options,
                       std::uint32_t access, Key& handle) = 0;
  // Reads the value `valueName` of an open key into `data`, which holds `length` bytes on entry.
  // On success `type` receives the value's type and `length` the number of bytes written. A value
  // longer than the buffer gives MoreData and writes nothing.
  virtual long queryValue(Key handle, const std::string& valueName, std::uint32_t& type,
                          std::uint8_t* data, std::uint32_t& length) = 0;
  virtual long closeKey(Key handle) = 0;
  // The bytes of a text value as program text (UTF-8): each byte, or pair of bytes, is the
  // character that the system's ANSI code page assigns to it.
  virtual std::string valueText(std::string_view bytes) const = 0;
};

}  // namespace karvelo::platform
