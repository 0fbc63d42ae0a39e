// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace karvelo::converter {

// Bytes that a decoder reads, at any offset: the source file, or a buffer in memory.
class ByteSource {
 public:
  virtual ~ByteSource() = default;

  virtual std::uint64_t size() const = 0;

  // Copies up to `length` bytes from `offset`; fewer only at the end. Throws
  // ConversionError(InputUnreadable) when the medium fails.
  virtual std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t length) const = 0;

  // Up to `length` bytes from `offset`, fewer at the end; never more than the source holds, so a
  // length read from a damaged header allocates nothing that the source cannot fill.
  std::vector<std::uint8_t> read(std::uint64_t offset, std::size_t length) const;
};

// A buffer in memory as a source; the buffer must outlive it.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint64_t size() const override { return bytes_.size(); }
  std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t length) const override;

 private:
  std::span<const std::uint8_t> bytes_;
};

// Reads a source front to back, for the libraries that pull a stream, some of them a byte at a
// time: small reads are served from a buffer.
class SourceReader {
 public:
  explicit SourceReader(const ByteSource& source, std::uint64_t position = 0)
      : source_(&source), position_(position) {}

  std::size_t read(void* buffer, std::size_t length);
  std::uint64_t position() const { return position_; }
  void seek(std::uint64_t position) { position_ = position; }
  const ByteSource& source() const { return *source_; }

 private:
  const ByteSource* source_;
  std::uint64_t position_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t bufferStart_ = 0;  // the source offset of the buffer's first byte
};

}  // namespace karvelo::converter
