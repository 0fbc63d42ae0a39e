// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/engine/SafeOutput.h"

#include "converter/core/ConversionError.h"

#include <algorithm>

namespace karvelo::converter {

namespace {

constexpr std::size_t gatherBytes = 256 * 1024;

}  // namespace

void OutputFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (offset == size()) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    if (pending_.size() >= gatherBytes) {
      flush();
    }
    return;
  }
  flush();
  put(offset, bytes);
  written_ = std::max(written_, offset + bytes.size());
}

void OutputFile::flush() const {
  if (!pending_.empty()) {
    put(written_, pending_);
    written_ += pending_.size();
    pending_.clear();
  }
}

void OutputFile::put(std::uint64_t offset, std::span<const std::uint8_t> bytes) const {
  const Transfer written = writeFileAt(file_.file(), offset, bytes.data(), bytes.size());
  if (written.error != 0) {
    file_.discard();
    writeFailure(file_.finalPath(), errorText(written.error));
  }
}

std::size_t OutputFile::readAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  flush();
  return readFileAt(file_.file(), offset, buffer, length).done;
}

void OutputFile::commit() {
  flush();
  file_.commit();
}

}  // namespace karvelo::converter
