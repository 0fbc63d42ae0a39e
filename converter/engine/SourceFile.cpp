#include "converter/engine/SourceFile.h"

#include "converter/core/ConversionError.h"
#include "converter/engine/FileAccess.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include "converter/engine/WidePath.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace karvelo::converter {

namespace {

[[noreturn]] void unreadable(const std::string& path, const std::string& why) {
  throw ConversionError(ExitCode::InputUnreadable, "cannot read \"" + path + "\": " + why);
}

}  // namespace

SourceFile::~SourceFile() { close(); }

#ifdef _WIN32

SourceFile::SourceFile(const std::string& path) : path_(path) {
  const HANDLE file = ::CreateFileW(widePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    unreadable(path, errorText(::GetLastError()));
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  BY_HANDLE_FILE_INFORMATION information{};
  LARGE_INTEGER size{};
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
      !::GetFileSizeEx(file, &size)) {
    ::CloseHandle(file);
    unreadable(path, "not a regular file");
  }
  size_ = static_cast<std::uint64_t>(size.QuadPart);
}

void SourceFile::close() {
  if (handle_ != -1) {
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
  }
}

#else

SourceFile::SourceFile(const std::string& path) : path_(path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    unreadable(path, std::strerror(errno));
  }
  handle_ = fd;
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    unreadable(path, "not a regular file");
  }
  size_ = static_cast<std::uint64_t>(status.st_size);
}

void SourceFile::close() {
  if (handle_ != -1) {
    ::close(static_cast<int>(handle_));
    handle_ = -1;
  }
}

#endif

std::size_t SourceFile::readAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  const Transfer read = readFileAt(handle_, offset, buffer, length);
  if (read.error != 0) {
    unreadable(path_, errorText(read.error));
  }
  return read.done;
}

}  // namespace karvelo::converter
