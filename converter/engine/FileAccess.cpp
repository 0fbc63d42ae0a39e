#include "converter/engine/FileAccess.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include "converter/engine/WidePath.h"
#else
#include <unistd.h>
#endif

namespace karvelo::converter {

namespace {

#ifdef _WIN32

Transfer transfer(std::intptr_t file, std::uint64_t offset, void* bytes, std::size_t length,
                  bool writing) {
  Transfer result;
  while (result.done < length) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>((offset + result.done) & 0xFFFFFFFFU);
    at.OffsetHigh = static_cast<DWORD>((offset + result.done) >> 32);
    DWORD count = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(length - result.done, 1U << 30));
    auto* data = static_cast<std::uint8_t*>(bytes) + result.done;
    const HANDLE handle = reinterpret_cast<HANDLE>(file);
    const BOOL ok = writing ? ::WriteFile(handle, data, chunk, &count, &at)
                            : ::ReadFile(handle, data, chunk, &count, &at);
    if (!ok && !writing && ::GetLastError() == ERROR_HANDLE_EOF) {
      break;
    }
    if (!ok || (writing && count == 0)) {
      result.error = ok ? ERROR_DISK_FULL : ::GetLastError();
      break;
    }
    if (count == 0) {
      break;
    }
    result.done += count;
  }
  return result;
}

#else

Transfer transfer(std::intptr_t file, std::uint64_t offset, void* bytes, std::size_t length,
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

#endif

}  // namespace

Transfer readFileAt(std::intptr_t file, std::uint64_t offset, void* buffer, std::size_t length) {
  return transfer(file, offset, buffer, length, false);
}

Transfer writeFileAt(std::intptr_t file, std::uint64_t offset, const void* bytes,
                     std::size_t length) {
  return transfer(file, offset, const_cast<void*>(bytes), length, true);
}

std::string errorText(unsigned long error) {
#ifdef _WIN32
  return systemMessage(error);
#else
  return std::strerror(static_cast<int>(error));
#endif
}

}  // namespace karvelo::converter
