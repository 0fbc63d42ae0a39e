#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace karvelo::converter {

// The picture being converted, open for reading. Reads the head for the format test and the
// headers, and the whole contents only once a conversion slot is held.
class SourceFile {
 public:
  // Throws ConversionError(InputUnreadable) when the path is missing, unreadable or no regular
  // file.
  explicit SourceFile(const std::string& path);
  ~SourceFile();
  SourceFile(const SourceFile&) = delete;
  SourceFile& operator=(const SourceFile&) = delete;

  std::uint64_t size() const { return size_; }
  const std::string& path() const { return path_; }

  // Up to length bytes from offset; fewer at the end of the file.
  std::vector<std::uint8_t> read(std::uint64_t offset, std::size_t length) const;
  std::size_t readInto(std::uint64_t offset, void* buffer, std::size_t length) const;
  std::vector<std::uint8_t> readAll() const;

 private:
  std::string path_;
  std::intptr_t handle_ = -1;  // file descriptor, or HANDLE on Windows
  std::uint64_t size_ = 0;
};

}  // namespace karvelo::converter
