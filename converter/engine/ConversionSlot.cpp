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
#ifndef _WIN32
  const char* path = std::getenv("MULTICONV_SLOT_TRACE");
  if (path == nullptr || *path == '\0') {
    return;
  }
  const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd >= 0) {
    const char line[2] = {mark, '\n'};
    [[maybe_unused]] const ssize_t written = ::write(fd, line, sizeof line);
    ::close(fd);
  }
#else
  (void)mark;
#endif
}

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
  // Named mutexes in the session's namespace; an abandoned mutex (its owner died) is free.
  for (;;) {
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    const unsigned used = std::min<unsigned>(count, MAXIMUM_WAIT_OBJECTS);
    for (unsigned i = 0; i < used; ++i) {
      const std::wstring name = L"Local\\karvelo-multiconv-slot-" + std::to_wstring(i);
      handles[i] = ::CreateMutexW(nullptr, FALSE, name.c_str());
      if (handles[i] == nullptr) {
        return slot;
      }
    }
    const DWORD result = ::WaitForMultipleObjects(used, handles, FALSE, INFINITE);
    for (unsigned i = 0; i < used; ++i) {
      const bool taken = result == WAIT_OBJECT_0 + i || result == WAIT_ABANDONED_0 + i;
      if (taken) {
        slot.handle_ = reinterpret_cast<std::intptr_t>(handles[i]);
      } else {
        ::CloseHandle(handles[i]);
      }
    }
    if (slot.handle_ != -1) {
      break;
    }
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
