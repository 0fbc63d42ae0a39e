// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/platform/FileAccess.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace karvelo::converter {

// Rows of one width that must be gathered before they can be passed on in another order (an
// interlaced picture, a bitmap stored bottom up, a result to be turned upright). Kept in memory
// while they take at most `memoryLimit` bytes, else in a temporary file that the system removes
// as soon as it is closed, so that a large picture takes disk space rather than memory and even a
// killed converter leaves nothing behind. Rows never written read as zeros.
class RowStore {
 public:
  static constexpr std::size_t defaultMemoryLimit = 64 << 20;

  RowStore(std::size_t rowBytes, std::uint32_t rows, std::size_t memoryLimit = defaultMemoryLimit);
  ~RowStore();
  RowStore(const RowStore&) = delete;
  RowStore& operator=(const RowStore&) = delete;

  std::size_t rowBytes() const { return rowBytes_; }
  std::uint32_t rows() const { return rows_; }

  void write(std::uint32_t row, std::span<const std::uint8_t> bytes);
  // Reads `out.size()` bytes of a row, from `offset` bytes into it.
  void read(std::uint32_t row, std::size_t offset, std::span<std::uint8_t> out) const;

 private:
  struct Free {
    void operator()(std::uint8_t* bytes) const;
  };

  std::size_t rowBytes_;
  std::uint32_t rows_;
  std::unique_ptr<std::uint8_t, Free> memory_;
  FileHandle file_ = noFile;
};

}  // namespace karvelo::converter
