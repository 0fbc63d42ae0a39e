#include "converter/engine/ConversionSlot.h"

#ifndef _WIN32
#include "converter/engine/UserFolder.h"
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/sem.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace karvelo::converter {

namespace {

unsigned slotCount() { return std::max(1U, std::thread::hardware_concurrency()); }

// The slot trace for tests: when MULTICONV_SLOT_TRACE names a file, every slot event appends a
// line to it: "+" a free slot taken, "w" a converter begins to wait, ">" a slot passed from a
// converter that is done to one that waits, "-" a slot given back free. On Windows, where the
// system hands a freed mutex to a waiting converter, only "+" and "-" are recorded.
void trace(char event) {
  const char line[2] = {event, '\n'};
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
// slots (tests keep theirs apart); a name cannot hold a backslash.
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

int lockRetrying(int fd, int operation) {
  int status = 0;
  while ((status = ::flock(fd, operation)) != 0 && errno == EINTR) {
  }
  return status;
}

std::string keyFile(const std::string& folder) { return folder + "/slots"; }

// The slot semaphores: the free slots, the converters waiting, and a mark that the set has been
// given its starting counts. Every change is made with SEM_UNDO, so that the system takes back
// the share of a process that ends in any way: a dead holder's slot comes free, a dead waiter
// stops counting.
enum Semaphore : unsigned short { FreeSlots, Waiting, Ready, SemaphoreCount };

int valueOf(int id, Semaphore which) { return ::semctl(id, which, GETVAL); }

bool change(int id, std::initializer_list<std::pair<Semaphore, short>> steps) {
  sembuf ops[SemaphoreCount] = {};
  std::size_t count = 0;
  for (const auto& [which, delta] : steps) {
    ops[count++] = {which, delta, SEM_UNDO};
  }
  int status = 0;
  while ((status = ::semop(id, ops, count)) != 0 && errno == EINTR) {
  }
  return status == 0;
}

bool isOwnSemaphore(int id) {
  semid_ds status{};
  return ::semctl(id, 0, IPC_STAT, &status) == 0 && status.sem_perm.uid == ::getuid() &&
         status.sem_perm.cuid == ::getuid() && (status.sem_perm.mode & 0777) == 0600 &&
         status.sem_nsems == SemaphoreCount;
}

// The user's slot semaphores, keyed on the key file, which the caller holds locked. -1 when
// there are none to be had (no System V semaphores here, or another user's set under the key).
int slotSemaphores(const std::string& path, unsigned count) {
  const key_t key = ::ftok(path.c_str(), 'K');
  int id = key != -1 ? ::semget(key, SemaphoreCount, IPC_CREAT | 0600) : -1;
  if (id != -1 && !isOwnSemaphore(id)) {
    id = -1;
  }
  // A set made by a process that died before setting its counts is set by the next one.
  if (id != -1 && valueOf(id, Ready) == 0 &&
      (::semctl(id, FreeSlots, SETVAL, static_cast<int>(count)) != 0 ||
       ::semctl(id, Waiting, SETVAL, 0) != 0 || ::semctl(id, Ready, SETVAL, 1) != 0)) {
    id = -1;
  }
  return id;
}

// Where no semaphore can be had: N lock files. A free one is taken at once; when all are busy
// the converter queues on one of them, which may leave another one idle for a while.
int lockSlotFile(const std::string& folder, unsigned count) {
  const auto openSlot = [&](unsigned index) {
    const std::string path = folder + "/slot-" + std::to_string(index) + ".lock";
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  };
  for (unsigned i = 0; i < count; ++i) {
    const int fd = openSlot(i);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      return fd;
    }
    if (fd >= 0) ::close(fd);
  }
  const int fd = openSlot(static_cast<unsigned>(::getpid()) % count);
  if (fd >= 0 && lockRetrying(fd, LOCK_EX) == 0) {
    return fd;
  }
  if (fd >= 0) ::close(fd);
  return -1;
}

#endif

}  // namespace

ConversionSlot ConversionSlot::acquire() {
  ConversionSlot slot;
  const unsigned count = slotCount();
#ifdef _WIN32
  // Named mutexes in the session's namespace; an abandoned mutex (its owner died) is free.
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  const unsigned used = std::min<unsigned>(count, MAXIMUM_WAIT_OBJECTS);
  unsigned made = 0;
  for (; made < used; ++made) {
    handles[made] = ::CreateMutexW(nullptr, FALSE, slotName(made).c_str());
    if (handles[made] == nullptr) break;
  }
  const DWORD result =
      made == used ? ::WaitForMultipleObjects(used, handles, FALSE, INFINITE) : WAIT_FAILED;
  for (unsigned i = 0; i < made; ++i) {
    if (result == WAIT_OBJECT_0 + i || result == WAIT_ABANDONED_0 + i) {
      slot.kind_ = Kind::Mutex;
      slot.handle_ = reinterpret_cast<std::intptr_t>(handles[i]);
    } else {
      ::CloseHandle(handles[i]);
    }
  }
  if (slot.kind_ == Kind::Mutex) {
    trace('+');
  }
  return slot;
#else
  const std::optional<std::string> folder = userRuntimeFolder();
  if (!folder) {
    return slot;
  }
  // Every decision on the slots is made under a lock on the key file, so that a converter waits
  // only while all slots are busy, a newcomer never takes a slot that a waiting converter is due,
  // and the trace records the events in the order they happen. The wait itself is on the
  // semaphore, outside the lock: a slot given back goes to a waiting converter at once.
  const int lock =
      ::open(keyFile(*folder).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lock >= 0 && lockRetrying(lock, LOCK_EX) == 0) {
    if (const int id = slotSemaphores(keyFile(*folder), count); id != -1) {
      slot.kind_ = Kind::Semaphore;
      slot.handle_ = id;
      slot.lock_ = lock;
      if (valueOf(id, FreeSlots) > valueOf(id, Waiting) && change(id, {{FreeSlots, -1}})) {
        trace('+');
        lockRetrying(lock, LOCK_UN);
        return slot;
      }
      if (change(id, {{Waiting, 1}})) {
        trace('w');
        lockRetrying(lock, LOCK_UN);
        if (change(id, {{FreeSlots, -1}, {Waiting, -1}})) {
          return slot;
        }
      }
      slot.kind_ = Kind::None;  // the set is gone: the lock files stand in
      slot.lock_ = -1;
    }
  }
  if (lock >= 0) ::close(lock);
  if (const int fd = lockSlotFile(*folder, count); fd >= 0) {
    slot.kind_ = Kind::LockFile;
    slot.handle_ = fd;
  }
  return slot;
#endif
}

void ConversionSlot::discard([[maybe_unused]] const std::string& folder) {
#ifndef _WIN32
  const key_t key = ::ftok(keyFile(folder).c_str(), 'K');
  const int id = key != -1 ? ::semget(key, SemaphoreCount, 0) : -1;
  if (id != -1 && isOwnSemaphore(id)) {
    ::semctl(id, 0, IPC_RMID);
  }
#endif
}

ConversionSlot::ConversionSlot(ConversionSlot&& other) noexcept
    : kind_(other.kind_), handle_(other.handle_), lock_(other.lock_) {
  other.kind_ = Kind::None;
  other.handle_ = -1;
  other.lock_ = -1;
}

ConversionSlot::~ConversionSlot() {
  switch (kind_) {
    case Kind::None:
      break;
#ifdef _WIN32
    case Kind::Mutex:
      trace('-');
      ::ReleaseMutex(reinterpret_cast<HANDLE>(handle_));
      ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
      break;
    default:
      break;
#else
    case Kind::Semaphore: {
      const int id = static_cast<int>(handle_);
      lockRetrying(lock_, LOCK_EX);
      change(id, {{FreeSlots, 1}});
      // While more converters wait than slots are free, this one goes to one of them.
      trace(valueOf(id, FreeSlots) > valueOf(id, Waiting) ? '-' : '>');
      ::close(lock_);
      break;
    }
    case Kind::LockFile:
      ::close(static_cast<int>(handle_));
      break;
    default:
      break;
#endif
  }
}

}  // namespace karvelo::converter
