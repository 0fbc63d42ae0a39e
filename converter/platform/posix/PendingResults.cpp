// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/platform/posix/PendingResults.h"

#include "converter/platform/posix/UserFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <random>

namespace karvelo::converter {

namespace {

constexpr std::string_view temporaryPrefix = ".multiconv-";
constexpr std::string_view unfinishedSuffix = ".new";

std::optional<std::string> recordFolder() {
  const std::optional<std::string> runtime = userRuntimeFolder();
  if (!runtime) return std::nullopt;
  const std::string folder = *runtime + "/pending";
  return isPrivateFolder(folder) ? std::optional(folder) : std::nullopt;
}

std::string uniqueName(const std::string& folder) {
  static std::mt19937_64 random(std::random_device{}() ^ static_cast<unsigned>(::getpid()));
  return folder + "/" + std::to_string(::getpid()) + "-" + std::to_string(random());
}

bool writeAll(int fd, const std::string& text) {
  return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

std::string_view nameOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

PendingResult::PendingResult(const std::string& path) {
  const std::optional<std::string> folder = recordFolder();
  if (!folder) return;
  // The record appears under its name only once it is locked and holds the path, so that a
  // converter looking for abandoned records never takes a new one for one.
  record_ = uniqueName(*folder);
  fd_ = ::open(folder->c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd_ >= 0) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    if (::flock(fd_, LOCK_EX) == 0 && writeAll(fd_, path) &&
        ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, record_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return;
    }
    ::close(fd_);
  }
  // File systems without unnamed files: made under a name that lookers pass by, then renamed.
  const std::string unfinished = record_ + std::string(unfinishedSuffix);
  fd_ = ::open(unfinished.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ >= 0 && ::flock(fd_, LOCK_EX) == 0 && writeAll(fd_, path) &&
      ::rename(unfinished.c_str(), record_.c_str()) == 0) {
    return;
  }
  if (fd_ >= 0) {
    ::unlink(unfinished.c_str());
    ::close(fd_);
  }
  fd_ = -1;
  record_.clear();
}

PendingResult::~PendingResult() {
  // The name goes before the lock, so that a looker that has the record open and gets the lock
  // afterwards sees a record without a name and leaves it alone.
  if (!record_.empty()) ::unlink(record_.c_str());
  if (fd_ >= 0) ::close(fd_);
}

void removeAbandonedResults() {
  const std::optional<std::string> folder = recordFolder();
  if (!folder) return;
  DIR* records = ::opendir(folder->c_str());
  if (records == nullptr) return;
  while (const dirent* entry = ::readdir(records)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == ".." || name.ends_with(unfinishedSuffix)) continue;
    const std::string record = *folder + "/" + std::string(name);
    const int fd = ::open(record.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat status {};
    char path[4096];
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &status) == 0 && status.st_nlink > 0) {
      const ssize_t length = ::pread(fd, path, sizeof path - 1, 0);
      if (length > 0) {
        path[length] = '\0';
        if (nameOf(path).starts_with(temporaryPrefix)) ::unlink(path);
      }
      ::unlink(record.c_str());
    }
    ::close(fd);
  }
  ::closedir(records);
}

}  // namespace karvelo::converter
