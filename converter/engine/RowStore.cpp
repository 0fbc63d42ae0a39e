#include "converter/engine/RowStore.h"

#include "converter/core/ConversionError.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include "converter/engine/WidePath.h"
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace karvelo::converter {

namespace {

[[noreturn]] void storeFailure(const std::string& why) {
  throw ConversionError(ExitCode::WriteFailure,
                        "cannot keep the picture's rows in a temporary file: " + why);
}

#ifdef _WIN32

std::intptr_t openSpillFile() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  if (::GetTempPathW(MAX_PATH + 1, folder) == 0 ||
      ::GetTempFileNameW(folder, L"mcv", 0, name) == 0) {
    storeFailure(systemMessage(::GetLastError()));
  }
  const HANDLE file = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    storeFailure(systemMessage(::GetLastError()));
  }
  return reinterpret_cast<std::intptr_t>(file);
}

void closeSpillFile(std::intptr_t file) { ::CloseHandle(reinterpret_cast<HANDLE>(file)); }

std::size_t transfer(std::intptr_t file, std::uint64_t offset, void* bytes, std::size_t length,
                     bool writing) {
  std::size_t done = 0;
  while (done < length) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>((offset + done) & 0xFFFFFFFFU);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD count = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(length - done, 1U << 30));
    auto* at8 = static_cast<std::uint8_t*>(bytes) + done;
    const BOOL ok = writing ? ::WriteFile(reinterpret_cast<HANDLE>(file), at8, chunk, &count, &at)
                            : ::ReadFile(reinterpret_cast<HANDLE>(file), at8, chunk, &count, &at);
    if (!ok && !(!writing && ::GetLastError() == ERROR_HANDLE_EOF)) {
      storeFailure(systemMessage(::GetLastError()));
    }
    if (count == 0) {
      break;
    }
    done += count;
  }
  return done;
}

#else

// Large temporary data belongs in $TMPDIR, else /var/tmp, which unlike /tmp is rarely held in
// memory.
std::intptr_t openSpillFile() {
  std::string folder = "/var/tmp";
  if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') {
    folder = tmp;
  }
#ifdef O_TMPFILE
  if (const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600); fd >= 0) {
    return fd;
  }
#endif
  for (const std::string& candidate : {folder, std::string("/tmp")}) {
    std::string name = candidate + "/.multiconv-rows-XXXXXX";
    if (const int fd = ::mkostemp(name.data(), O_CLOEXEC); fd >= 0) {
      ::unlink(name.c_str());
      return fd;
    }
  }
  storeFailure(std::strerror(errno));
}

void closeSpillFile(std::intptr_t file) { ::close(static_cast<int>(file)); }

std::size_t transfer(std::intptr_t file, std::uint64_t offset, void* bytes, std::size_t length,
                     bool writing) {
  std::size_t done = 0;
  while (done < length) {
    auto* at = static_cast<std::uint8_t*>(bytes) + done;
    const auto where = static_cast<off_t>(offset + done);
    const ssize_t count = writing ? ::pwrite(static_cast<int>(file), at, length - done, where)
                                  : ::pread(static_cast<int>(file), at, length - done, where);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count < 0) {
      storeFailure(std::strerror(errno));
    }
    if (count == 0) {
      break;
    }
    done += static_cast<std::size_t>(count);
  }
  return done;
}

#endif

}  // namespace

void RowStore::Free::operator()(std::uint8_t* bytes) const { std::free(bytes); }

RowStore::RowStore(std::size_t rowBytes, std::uint32_t rows) : rowBytes_(rowBytes), rows_(rows) {
  const std::uint64_t total = std::uint64_t{rowBytes} * rows;
  if (total <= memoryLimit) {
    // calloc leaves untouched pages unmapped: rows never written cost nothing.
    memory_.reset(static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(total) + 1, 1)));
    if (!memory_) {
      throw std::bad_alloc();
    }
  } else {
    file_ = openSpillFile();
  }
}

RowStore::~RowStore() {
  if (file_ != -1) {
    closeSpillFile(file_);
  }
}

void RowStore::write(std::uint32_t row, std::span<const std::uint8_t> bytes) {
  const std::uint64_t at = std::uint64_t{row} * rowBytes_;
  const std::size_t length = std::min(bytes.size(), rowBytes_);
  if (memory_) {
    std::memcpy(memory_.get() + at, bytes.data(), length);
  } else if (transfer(file_, at, const_cast<std::uint8_t*>(bytes.data()), length, true) != length) {
    storeFailure("the disk is full");
  }
}

void RowStore::read(std::uint32_t row, std::size_t offset, std::span<std::uint8_t> out) const {
  const std::uint64_t at = std::uint64_t{row} * rowBytes_ + offset;
  if (memory_) {
    std::memcpy(out.data(), memory_.get() + at, out.size());
    return;
  }
  const std::size_t got = transfer(file_, at, out.data(), out.size(), false);
  std::memset(out.data() + got, 0, out.size() - got);
}

}  // namespace karvelo::converter
