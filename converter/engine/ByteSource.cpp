// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/engine/ByteSink.h"

#include <algorithm>
#include <cstring>

namespace karvelo::converter {

std::vector<std::uint8_t> ByteSource::read(std::uint64_t offset, std::size_t length) const {
  const std::uint64_t available = offset < size() ? size() - offset : 0;
  std::vector<std::uint8_t> bytes(
      static_cast<std::size_t>(std::min<std::uint64_t>(length, available)));
  bytes.resize(readAt(offset, bytes.data(), bytes.size()));
  return bytes;
}

std::size_t MemorySource::readAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  if (offset >= bytes_.size() || length == 0) {
    return 0;
  }
  const std::size_t count =
      std::min<std::size_t>(length, bytes_.size() - static_cast<std::size_t>(offset));
  std::memcpy(buffer, bytes_.data() + offset, count);
  return count;
}

std::size_t SourceReader::read(void* buffer, std::size_t length) {
  constexpr std::size_t bufferBytes = 64 * 1024;
  if (length == 0) {
    return 0;
  }
  if (length >= bufferBytes) {
    const std::size_t got = source_->readAt(position_, buffer, length);
    position_ += got;
    return got;
  }
  if (position_ < bufferStart_ || position_ + length > bufferStart_ + buffer_.size()) {
    buffer_.resize(bufferBytes);
    buffer_.resize(source_->readAt(position_, buffer_.data(), bufferBytes));
    bufferStart_ = position_;
  }
  const std::size_t at = static_cast<std::size_t>(position_ - bufferStart_);
  const std::size_t got = std::min(length, buffer_.size() - at);
  std::memcpy(buffer, buffer_.data() + at, got);
  position_ += got;
  return got;
}

std::size_t MemorySink::readAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  return MemorySource(bytes_).readAt(offset, buffer, length);
}

void MemorySink::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  const auto at = static_cast<std::size_t>(offset);
  if (bytes_.size() < at + bytes.size()) {
    bytes_.resize(at + bytes.size());
  }
  std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace karvelo::converter
