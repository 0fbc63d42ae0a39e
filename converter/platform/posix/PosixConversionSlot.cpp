// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/platform/ConversionSlot.h"

#include "converter/platform/posix/UserFolder.h"

#include <cerrno>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/sem.h>
#include <sys/stat.h>
#include <unistd.h>

namespace karvelo::converter {

namespace {

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

}  // namespace

// A slot of the semaphore set (with the key file, locked for every decision), or a locked slot
// file.
struct ConversionSlot::Held {
  int semaphores = -1;
  int keyLock = -1;
  int slotFile = -1;

  ~Held() {
    if (semaphores != -1) {
      lockRetrying(keyLock, LOCK_EX);
      change(semaphores, {{FreeSlots, 1}});
      // While more converters wait than slots are free, this one goes to one of them.
      traceSlotEvent(valueOf(semaphores, FreeSlots) > valueOf(semaphores, Waiting) ? '-' : '>');
      ::close(keyLock);
    }
    if (slotFile != -1) {
      ::close(slotFile);
    }
  }
};

ConversionSlot ConversionSlot::acquire() {
  const unsigned count = slotCount();
  const std::optional<std::string> folder = userRuntimeFolder();
  if (!folder) {
    return ConversionSlot(nullptr);
  }
  // Every decision on the slots is made under a lock on the key file, so that a converter waits
  // only while all slots are busy, a newcomer never takes a slot that a waiting converter is due,
  // and the trace records the events in the order they happen. The wait itself is on the
  // semaphore, outside the lock: a slot given back goes to a waiting converter at once.
  const int lock =
      ::open(keyFile(*folder).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lock >= 0 && lockRetrying(lock, LOCK_EX) == 0) {
    if (const int id = slotSemaphores(keyFile(*folder), count); id != -1) {
      const auto taken = [&] {
        return ConversionSlot(std::unique_ptr<Held>(new Held{id, lock, -1}));
      };
      if (valueOf(id, FreeSlots) > valueOf(id, Waiting) && change(id, {{FreeSlots, -1}})) {
        traceSlotEvent('+');
        lockRetrying(lock, LOCK_UN);
        return taken();
      }
      if (change(id, {{Waiting, 1}})) {
        traceSlotEvent('w');
        lockRetrying(lock, LOCK_UN);
        if (change(id, {{FreeSlots, -1}, {Waiting, -1}})) {
          return taken();
        }
      }
      // The set is gone: the lock files stand in.
    }
  }
  if (lock >= 0) ::close(lock);
  if (const int fd = lockSlotFile(*folder, count); fd >= 0) {
    return ConversionSlot(std::unique_ptr<Held>(new Held{-1, -1, fd}));
  }
  return ConversionSlot(nullptr);
}

void ConversionSlot::discard(const std::string& folder) {
  const key_t key = ::ftok(keyFile(folder).c_str(), 'K');
  const int id = key != -1 ? ::semget(key, SemaphoreCount, 0) : -1;
  if (id != -1 && isOwnSemaphore(id)) {
    ::semctl(id, 0, IPC_RMID);
  }
}

ConversionSlot::ConversionSlot(std::unique_ptr<Held> held) : held_(std::move(held)) {}
ConversionSlot::ConversionSlot(ConversionSlot&& other) noexcept = default;
ConversionSlot::~ConversionSlot() = default;

}  // namespace karvelo::converter
