// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/ByteSource.h"

namespace karvelo::converter {

// Where an encoder writes its file: the temporary output file, or a buffer in memory. It can be
// read back, because a few formats are finished by going back over what was written (a TIFF's
// directory offsets).
class ByteSink : public ByteSource {
 public:
  // Writes at `offset`, which may lie anywhere, also past the end (a gap reads as zeros). Throws
  // ConversionError(WriteFailure) when the medium fails.
  virtual void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;

  void append(std::span<const std::uint8_t> bytes) { writeAt(size(), bytes); }
};

class MemorySink final : public ByteSink {
 public:
  std::uint64_t size() const override { return bytes_.size(); }
  std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t length) const override;
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  std::vector<std::uint8_t> take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace karvelo::converter
