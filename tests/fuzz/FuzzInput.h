// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

// What the fuzz targets share: the fuzzer's bytes read as the choices of one run, and the check
// that stops the run when a property fails, so that libFuzzer (or the replay) reports the input.
namespace karvelo::fuzz {

// Reads choices from the front of the bytes; once they are used up every choice is 0 or empty,
// so that any input, however short, is one whole run.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

  bool empty() const { return bytes_.empty(); }

  std::uint8_t byte() {
    if (bytes_.empty()) return 0;
    const std::uint8_t value = bytes_.front();
    bytes_ = bytes_.subspan(1);
    return value;
  }

  bool flag() { return (byte() & 1) != 0; }

  // A number from 0 to count - 1 (count at most 65536).
  std::uint32_t below(std::uint32_t count) {
    const std::uint32_t value = std::uint32_t{byte()} | (std::uint32_t{byte()} << 8);
    return count == 0 ? 0 : value % count;
  }

  // A text of up to `most` bytes: a length, then that many bytes.
  std::string text(std::size_t most) {
    const std::size_t length = std::min<std::size_t>(byte() % (most + 1), bytes_.size());
    std::string out(reinterpret_cast<const char*>(bytes_.data()), length);
    bytes_ = bytes_.subspan(length);
    return out;
  }

  std::span<const std::uint8_t> rest() {
    const std::span<const std::uint8_t> all = bytes_;
    bytes_ = {};
    return all;
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

// Stops the run with the property that failed: the fuzzer then keeps the input as a crash.
inline void require(bool holds, std::string_view property) {
  if (!holds) {
    std::fprintf(stderr, "fuzz property failed: %.*s\n", static_cast<int>(property.size()),
                 property.data());
    std::abort();
  }
}

}  // namespace karvelo::fuzz

// The entry point that libFuzzer, and the replay of kept inputs, call with one input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
