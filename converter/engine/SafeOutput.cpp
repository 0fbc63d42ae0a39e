#include "converter/engine/SafeOutput.h"

#include "converter/core/ConversionError.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include "converter/engine/WidePath.h"
#include <algorithm>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace karvelo::converter {

namespace {

[[noreturn]] void outputExists(const std::string& path) {
  throw ConversionError(ExitCode::OutputExists,
                        "\"" + path + "\" already exists and /o was not given");
}

}  // namespace

#ifdef _WIN32

namespace {

[[noreturn]] void writeFailure(const std::string& path, DWORD error) {
  throw ConversionError(ExitCode::WriteFailure,
                        "cannot write \"" + path + "\": error " + std::to_string(error));
}

std::wstring pendingTemporary;

extern "C" void removeTemporaryAndEnd(int signalNumber) {
  if (!pendingTemporary.empty()) {
    ::DeleteFileW(pendingTemporary.c_str());
  }
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

}  // namespace

bool pathExists(const std::string& path) {
  return ::GetFileAttributesW(widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(widePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void writeSafely(const std::string& finalPath, std::span<const std::uint8_t> bytes, bool replace) {
  const std::size_t separator = finalPath.find_last_of("\\/");
  const std::string folder = separator == std::string::npos ? "." : finalPath.substr(0, separator);
  HANDLE file = INVALID_HANDLE_VALUE;
  std::wstring temporary;
  for (unsigned attempt = 0; file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = widePath(folder + "\\.multiconv-" + std::to_string(::GetCurrentProcessId()) + "-" +
                         std::to_string(::GetTickCount64() + attempt));
    file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && (::GetLastError() != ERROR_FILE_EXISTS || attempt > 100)) {
      writeFailure(finalPath, ::GetLastError());
    }
  }
  pendingTemporary = temporary;
  for (int signalNumber : {SIGINT, SIGTERM}) {
    std::signal(signalNumber, removeTemporaryAndEnd);
  }
  auto fail = [&](DWORD error) {
    if (file != INVALID_HANDLE_VALUE) {
      ::CloseHandle(file);
    }
    ::DeleteFileW(temporary.c_str());
    pendingTemporary.clear();
    writeFailure(finalPath, error);
  };
  std::size_t written = 0;
  while (written < bytes.size()) {
    DWORD count = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1U << 30));
    if (!::WriteFile(file, bytes.data() + written, chunk, &count, nullptr)) {
      fail(::GetLastError());
    }
    written += count;
  }
  if (replace && !::FlushFileBuffers(file)) {
    fail(::GetLastError());
  }
  ::CloseHandle(file);
  file = INVALID_HANDLE_VALUE;
  // Without MOVEFILE_REPLACE_EXISTING the move fails on an existing name, atomically.
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!::MoveFileExW(temporary.c_str(), widePath(finalPath).c_str(), flags)) {
    const DWORD error = ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    pendingTemporary.clear();
    if (!replace && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)) {
      outputExists(finalPath);
    }
    writeFailure(finalPath, error);
  }
  pendingTemporary.clear();
}

#else

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

[[noreturn]] void writeFailure(const std::string& path, int error) {
  throw ConversionError(ExitCode::WriteFailure,
                        "cannot write \"" + path + "\": " + std::strerror(error));
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

bool pathExists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

bool isFolder(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

void writeSafely(const std::string& finalPath, std::span<const std::uint8_t> bytes, bool replace) {
  std::string temporary = folderOf(finalPath) + "/.multiconv-XXXXXX";
  // The ending signals wait while the file is made and its name handed to their handler, so
  // that no signal can leave the file behind in between.
  sigset_t ending;
  sigset_t previous;
  sigemptyset(&ending);
  for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    sigaddset(&ending, signalNumber);
  }
  ::sigprocmask(SIG_BLOCK, &ending, &previous);
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  const int openError = errno;
  if (fd >= 0) {
    guardTemporary(temporary);
  }
  ::sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (fd < 0) {
    writeFailure(finalPath, openError);
  }
  auto fail = [&](int error) {
    ::close(fd);
    ::unlink(temporary.c_str());
    forgetTemporary();
    writeFailure(finalPath, error);
  };

  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      fail(errno);
    }
    written += static_cast<std::size_t>(count);
  }
  if (const char* pause = std::getenv("MULTICONV_TEST_STOP_BEFORE_RENAME"); pause && *pause) {
    ::raise(SIGSTOP);  // lets a test kill the converter at this exact point
  }

  struct stat existing {};
  const bool replacing = replace && ::stat(finalPath.c_str(), &existing) == 0;
  if (::fchmod(fd, replacing ? (existing.st_mode & 07777) : newFileMode()) != 0) {
    fail(errno);
  }
  // The old file is only given up for one whose contents are safely on disk.
  if (replacing && ::fsync(fd) != 0) {
    fail(errno);
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    forgetTemporary();
    writeFailure(finalPath, error);
  }

  const int error = replace ? (::rename(temporary.c_str(), finalPath.c_str()) == 0 ? 0 : errno)
                            : renameWithoutReplacing(temporary, finalPath);
  if (error != 0) {
    ::unlink(temporary.c_str());
    forgetTemporary();
    if (error == EEXIST) {
      outputExists(finalPath);
    }
    writeFailure(finalPath, error);
  }
  forgetTemporary();
}

#endif

}  // namespace karvelo::converter
