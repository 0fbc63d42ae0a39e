// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/platform/ResultFile.h"

#include "converter/core/ConversionError.h"
#include "converter/platform/posix/PendingResults.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace karvelo::converter {

namespace {

// The temporary file being written, for the signal handler; empty when there is none.
char pendingTemporary[4096];

extern "C" void removeTemporaryAndEnd(int signalNumber) {
  if (pendingTemporary[0] != '\0') {
    ::unlink(pendingTemporary);
  }
  ::signal(signalNumber, SIG_DFL);
  ::raise(signalNumber);
}

void guardTemporary(const std::string& path) {
  if (path.size() < sizeof pendingTemporary) {
    std::memcpy(pendingTemporary, path.c_str(), path.size() + 1);
  }
  struct sigaction action {};
  action.sa_handler = removeTemporaryAndEnd;
  sigemptyset(&action.sa_mask);
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    ::sigaction(signalNumber, &action, nullptr);
  }
}

void forgetTemporary() { pendingTemporary[0] = '\0'; }

sigset_t blockEndingSignals() {
  sigset_t ending;
  sigset_t previous;
  sigemptyset(&ending);
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    sigaddset(&ending, signalNumber);
  }
  ::sigprocmask(SIG_BLOCK, &ending, &previous);
  return previous;
}

// Tests take the path of file systems without unnamed files.
bool namedOnly() {
  const char* named = std::getenv("MULTICONV_TEST_NAMED_TEMPORARY");
  return named != nullptr && *named != '\0';
}

// Lets a test kill the converter at this exact point: it stops itself.
void stopHereForTests() {
  if (const char* pause = std::getenv("MULTICONV_TEST_STOP_BEFORE_RENAME"); pause && *pause) {
    std::raise(SIGSTOP);
  }
}

std::string randomLetters() {
  static std::mt19937 random(std::random_device{}() ^ static_cast<unsigned>(::getpid()));
  constexpr std::string_view letters =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string text(6, 'x');
  for (char& c : text) c = letters[random() % letters.size()];
  return text;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Moves the temporary file to the final name unless that name is taken.
int renameWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
    return errno;
  }
  // File systems without the no-replace rename: a hard link fails on an existing name too.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  if (errno == EEXIST) {
    return EEXIST;
  }
  // Neither: test, then rename (a file appearing in between would be replaced).
  if (pathExists(to)) {
    return EEXIST;
  }
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

struct ResultFile::State {
  State(const std::string& path, bool replacing) : finalPath(path), replace(replacing) {}

  std::string finalPath;
  bool replace;
  int fd = -1;
  std::string temporary;  // empty while the file has no name
  // While the result has a name of its own: the record that lets a later converter remove it.
  std::unique_ptr<PendingResult> pendingRecord;
  bool ended = false;  // committed or discarded

  // Gives the unnamed result a hidden name of its own in the destination folder, recorded first
  // so that a later converter removes it if this one is killed before the name goes.
  int nameAnonymous(const std::string& self) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = folderOf(finalPath) + "/.multiconv-" + randomLetters();
      sigset_t previous = blockEndingSignals();
      pendingRecord = std::make_unique<PendingResult>(name);
      const int status =
          ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                           : errno;
      if (status == 0) {
        temporary = std::move(name);
        guardTemporary(temporary);
      }
      ::sigprocmask(SIG_SETMASK, &previous, nullptr);
      if (status != EEXIST) {
        return status;
      }
    }
    return EEXIST;
  }
};

ResultFile::ResultFile(const std::string& finalPath, bool replace)
    : state_(std::make_unique<State>(finalPath, replace)) {
  removeAbandonedResults();
  const std::string folder = folderOf(finalPath);
  // Where the file system allows it, the result is written into a file without a name, which
  // the system removes whenever the process ends before the result is in place: nothing is left
  // behind even by a converter killed outright. /proc names the open file for linking it.
  if (!namedOnly() && ::access("/proc/self/fd", X_OK) == 0) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
      state_->fd = fd;
      return;
    }
  }
  // Elsewhere it has a hidden name of its own, which a later converter removes if this one is
  // killed. The ending signals wait while the file is made and its name handed to their
  // handler, so that no signal can leave the file behind in between.
  std::string temporary = folder + "/.multiconv-XXXXXX";
  sigset_t previous = blockEndingSignals();
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  const int openError = errno;
  if (fd >= 0) {
    guardTemporary(temporary);
  }
  ::sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (fd < 0) {
    writeFailure(finalPath, std::strerror(openError));
  }
  state_->fd = fd;
  state_->temporary = std::move(temporary);
  state_->pendingRecord = std::make_unique<PendingResult>(state_->temporary);
}

ResultFile::~ResultFile() { discard(); }

FileHandle ResultFile::file() const { return state_->fd; }

const std::string& ResultFile::finalPath() const { return state_->finalPath; }

void ResultFile::discard() noexcept {
  State& state = *state_;
  if (state.ended) {
    return;
  }
  state.ended = true;
  if (state.fd != -1) {
    ::close(state.fd);
    state.fd = -1;
  }
  if (!state.temporary.empty()) {
    ::unlink(state.temporary.c_str());
  }
  forgetTemporary();
  state.pendingRecord.reset();
}

void ResultFile::commit() {
  stopHereForTests();
  State& state = *state_;
  const auto fail = [&](int error) {
    discard();
    writeFailure(state.finalPath, std::strerror(error));
  };
  const int fd = state.fd;
  struct stat existing {};
  const bool replacing = state.replace && ::stat(state.finalPath.c_str(), &existing) == 0;
  if (::fchmod(fd, replacing ? (existing.st_mode & 07777) : newFileMode()) != 0) {
    fail(errno);
  }
  // The old file is only given up for one whose contents are safely on disk.
  if (replacing && ::fsync(fd) != 0) {
    fail(errno);
  }
  int error = 0;
  if (state.temporary.empty()) {
    // Unnamed: linked under the final name, which fails on a name that is taken; or, to replace
    // a file, named first and then renamed over it. The file stays open until it has a name.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (!state.replace) {
      error = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, state.finalPath.c_str(),
                       AT_SYMLINK_FOLLOW) == 0
                  ? 0
                  : errno;
    } else if ((error = state.nameAnonymous(self)) == 0) {
      error = ::rename(state.temporary.c_str(), state.finalPath.c_str()) == 0 ? 0 : errno;
    }
    state.fd = -1;
    ::close(fd);
  } else {
    // Named: closed first, since a file system may report a failed write only then.
    state.fd = -1;
    if (::close(fd) != 0) {
      fail(errno);
    }
    error = state.replace
                ? (::rename(state.temporary.c_str(), state.finalPath.c_str()) == 0 ? 0 : errno)
                : renameWithoutReplacing(state.temporary, state.finalPath);
  }
  if (error != 0) {
    discard();
    if (error == EEXIST && !state.replace) {
      outputExists(state.finalPath);
    }
    writeFailure(state.finalPath, std::strerror(error));
  }
  state.ended = true;
  forgetTemporary();
  state.pendingRecord.reset();
}

}  // namespace karvelo::converter
