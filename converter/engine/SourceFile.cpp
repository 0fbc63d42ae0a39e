// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/engine/SourceFile.h"

#include "converter/core/ConversionError.h"

namespace karvelo::converter {

namespace {

[[noreturn]] void unreadable(const std::string& path, const std::string& why) {
  throw ConversionError(ExitCode::InputUnreadable, "cannot read \"" + path + "\": " + why);
}

}  // namespace

SourceFile::SourceFile(const std::string& path) : path_(path) {
  const OpenedFile opened = openForReading(path);
  if (opened.file == noFile) {
    unreadable(path, opened.failure);
  }
  handle_ = opened.file;
  size_ = opened.size;
}

SourceFile::~SourceFile() { close(); }

void SourceFile::close() {
  if (handle_ != noFile) {
    closeFile(handle_);
    handle_ = noFile;
  }
}

std::size_t SourceFile::readAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  const Transfer read = readFileAt(handle_, offset, buffer, length);
  if (read.error != 0) {
    unreadable(path_, errorText(read.error));
  }
  return read.done;
}

}  // namespace karvelo::converter
