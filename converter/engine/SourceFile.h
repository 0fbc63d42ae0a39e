// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/ByteSource.h"
#include "converter/platform/FileAccess.h"

#include <cstdint>
#include <string>

namespace karvelo::converter {

// The picture being converted, open for reading.
class SourceFile final : public ByteSource {
 public:
  // Throws ConversionError(InputUnreadable) when the path is missing, unreadable or no regular
  // file.
  explicit SourceFile(const std::string& path);
  ~SourceFile();
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  // Closes the file before its end of life; nothing may be read afterwards.
  void close();

  std::uint64_t size() const override { return size_; }
  std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t length) const override;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  FileHandle handle_ = noFile;
  std::uint64_t size_ = 0;
};

}  // namespace karvelo::converter
