#include "converter/engine/ConversionSlot.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace karvelo::converter {

namespace {

unsigned slotCount() { return std::max(1U, std::thread::hardware_concurrency()); }

// Appends "+" when a slot is taken and "-" before it is given back to the file named by
// MULTICONV_SLOT_TRACE, so that a test can replay how many conversions overlapped.
void trace(char mark) {
  const char line[2] = {mark, '\n'};
#ifdef _WIN32
  const wchar_t* path = ::_wgetenv(L"MULTICONV_SLOT_TRACE");
  if (path == nullptr || *path == L'\0') {
    return;
  }
  const HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(file, line, sizeof line, &written, nullptr);
    ::CloseHandle(file);
  }
#else
  const char* path = std::getenv("MULTICONV_SLOT_TRACE");
  if (path == nullptr || *path == '\0') {
    return;
  }
  const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd >= 0) {
    [[maybe_unused]] const ssize_t written = ::write(fd, line, sizeof line);
    ::close(fd);
  }
#endif
}

#ifdef _WIN32
// A named mutex in the session's namespace. MULTICONV_SLOT_DIR, when set, names another set of
// slots (tests use their own); a name cannot hold a backslash.
std::wstring slotName(unsigned index) {
  std::wstring name = L"Local\\karvelo-multiconv-";
  if (const wchar_t* set = ::_wgetenv(L"MULTICONV_SLOT_DIR"); set != nullptr && *set != L'\0') {
    for (const wchar_t* c = set; *c != L'\0'; ++c) {
      name += *c == L'\\' ? L'/' : *c;
    }
    name += L'-';
  }
  return name + L"slot-" + std::to_wstring(index);
}
#endif

#ifndef _WIN32
std::string slotFolder() {
  if (const char* folder = std::getenv("MULTICONV_SLOT_DIR");
      folder != nullptr && *folder != '\0') {
    return folder;
  }
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
      runtime != nullptr && *runtime != '\0') {
    return std::string(runtime) + "/karvelo-slots";
  }
  return "/tmp/karvelo-" + std::to_string(::getuid());
}

// The folder must be ours alone: in a shared folder another user could hold every slot.
bool usableFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return false;
  }
  struct stat status {};
  return ::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
         status.st_uid == ::getuid();
}
#endif

}  // namespace

ConversionSlot ConversionSlot::acquire() {
  ConversionSlot slot;
  const unsigned count = slotCount();
#ifdef _WIN32
  // An abandoned mutex (its owner died) is free, and waiting on it takes it.
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  const unsigned used = std::min<unsigned>(count, MAXIMUM_WAIT_OBJECTS);
  for (unsigned i = 0; i < used; ++i) {
    handles[i] = ::CreateMutexW(nullptr, FALSE, slotName(i).c_str());
    if (handles[i] == nullptr) {
      for (unsigned made = 0; made < i; ++made) {
        ::CloseHandle(handles[made]);
      }
      return slot;
    }
  }
  const DWORD result = ::WaitForMultipleObjects(used, handles, FALSE, INFINITE);
  for (unsigned i = 0; i < used; ++i) {
    if (result == WAIT_OBJECT_0 + i || result == WAIT_ABANDONED_0 + i) {
      slot.handle_ = reinterpret_cast<std::intptr_t>(handles[i]);
    } else {
      ::CloseHandle(handles[i]);
    }
  }
  if (slot.handle_ == -1) {
    return slot;  // the wait failed: convert without a slot rather than not at all
  }
#else
  const std::string folder = slotFolder();
  if (!usableFolder(folder)) {
    return slot;
  }
  auto openSlot = [&](unsigned index) {
    const std::string path = folder + "/slot-" + std::to_string(index) + ".lock";
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  };
  // First any free slot; when all are busy, queue on one of them.
  for (unsigned i = 0; i < count && slot.handle_ < 0; ++i) {
    const int fd = openSlot(i);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      slot.handle_ = fd;
    } else if (fd >= 0) {
      ::close(fd);
    }
  }
  if (slot.handle_ < 0) {
    const int fd = openSlot(static_cast<unsigned>(::getpid()) % count);
    if (fd < 0) {
      return slot;
    }
    int status = 0;
    while ((status = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (status != 0) {
      ::close(fd);
      return slot;
    }
    slot.handle_ = fd;
  }
#endif
  slot.traced_ = true;
  trace('+');
  return slot;
}

ConversionSlot::ConversionSlot(ConversionSlot&& other) noexcept
    : handle_(other.handle_), traced_(other.traced_) {
  other.handle_ = -1;
  other.traced_ = false;
}

ConversionSlot::~ConversionSlot() {
  if (traced_) {
    trace('-');
  }
  if (handle_ != -1) {
#ifdef _WIN32
    ::ReleaseMutex(reinterpret_cast<HANDLE>(handle_));
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
#else
    ::close(static_cast<int>(handle_));
#endif
  }
}

}  // namespace karvelo::converter
