// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/engine/RowStore.h"

#include "converter/core/ConversionError.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace karvelo::converter {

namespace {

[[noreturn]] void storeFailure(const std::string& why) {
  throw ConversionError(ExitCode::WriteFailure,
                        "cannot keep the picture's rows in a temporary file: " + why);
}

}  // namespace

void RowStore::Free::operator()(std::uint8_t* bytes) const { std::free(bytes); }

RowStore::RowStore(std::size_t rowBytes, std::uint32_t rows, std::size_t memoryLimit)
    : rowBytes_(rowBytes), rows_(rows) {
  const std::uint64_t total = std::uint64_t{rowBytes} * rows;
  if (total <= memoryLimit) {
    // calloc leaves untouched pages unmapped: rows never written cost nothing.
    memory_.reset(static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(total) + 1, 1)));
    if (!memory_) {
      throw std::bad_alloc();
    }
  } else {
    const OpenedFile scratch = openScratchFile();
    if (scratch.file == noFile) {
      storeFailure(scratch.failure);
    }
    file_ = scratch.file;
  }
}

RowStore::~RowStore() {
  if (file_ != noFile) {
    closeFile(file_);
  }
}

void RowStore::write(std::uint32_t row, std::span<const std::uint8_t> bytes) {
  const std::uint64_t at = std::uint64_t{row} * rowBytes_;
  const std::size_t length = std::min(bytes.size(), rowBytes_);
  if (memory_) {
    std::memcpy(memory_.get() + at, bytes.data(), length);
  } else if (const Transfer written = writeFileAt(file_, at, bytes.data(), length);
             written.error != 0) {
    storeFailure(errorText(written.error));
  }
}

void RowStore::read(std::uint32_t row, std::size_t offset, std::span<std::uint8_t> out) const {
  const std::uint64_t at = std::uint64_t{row} * rowBytes_ + offset;
  if (memory_) {
    std::memcpy(out.data(), memory_.get() + at, out.size());
    return;
  }
  const Transfer read = readFileAt(file_, at, out.data(), out.size());
  if (read.error != 0) {
    storeFailure(errorText(read.error));
  }
  std::memset(out.data() + read.done, 0, out.size() - read.done);
}

}  // namespace karvelo::converter
