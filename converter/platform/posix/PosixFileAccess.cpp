// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/platform/FileAccess.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace karvelo::converter {

namespace {

Transfer transfer(FileHandle file, std::uint64_t offset, void* bytes, std::size_t length,
                  bool writing) {
  Transfer result;
  while (result.done < length) {
    auto* data = static_cast<std::uint8_t*>(bytes) + result.done;
    const auto at = static_cast<off_t>(offset + result.done);
    const int fd = static_cast<int>(file);
    const ssize_t count = writing ? ::pwrite(fd, data, length - result.done, at)
                                  : ::pread(fd, data, length - result.done, at);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count < 0 || (writing && count == 0)) {
      result.error = count < 0 ? static_cast<unsigned long>(errno) : ENOSPC;
      break;
    }
    if (count == 0) {
      break;
    }
    result.done += static_cast<std::size_t>(count);
  }
  return result;
}

}  // namespace

Transfer readFileAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t length) {
  return transfer(file, offset, buffer, length, false);
}

Transfer writeFileAt(FileHandle file, std::uint64_t offset, const void* bytes,
                     std::size_t length) {
  return transfer(file, offset, const_cast<void*>(bytes), length, true);
}

void closeFile(FileHandle file) { ::close(static_cast<int>(file)); }

OpenedFile openForReading(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    return {noFile, 0, std::strerror(errno)};
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return {noFile, 0, "not a regular file"};
  }
  return {fd, static_cast<std::uint64_t>(status.st_size), {}};
}

OpenedFile openScratchFile() {
  std::string folder = "/var/tmp";
  if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') {
    folder = tmp;
  }
  if (const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600); fd >= 0) {
    return {fd, 0, {}};
  }
  // File systems without unnamed files: a named one, removed at once.
  for (const std::string& candidate : {folder, std::string("/tmp")}) {
    std::string name = candidate + "/.multiconv-rows-XXXXXX";
    if (const int fd = ::mkostemp(name.data(), O_CLOEXEC); fd >= 0) {
      ::unlink(name.c_str());
      return {fd, 0, {}};
    }
  }
  return {noFile, 0, std::strerror(errno)};
}

void appendToFile(const std::string& path, std::string_view text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd >= 0) {
    [[maybe_unused]] const ssize_t written = ::write(fd, text.data(), text.size());
    ::close(fd);
  }
}

bool pathExists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

bool isFolder(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string errorText(unsigned long error) { return std::strerror(static_cast<int>(error)); }

}  // namespace karvelo::converter
