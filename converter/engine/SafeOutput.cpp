#include "converter/engine/SafeOutput.h"

#include "converter/core/ConversionError.h"
#include "converter/engine/FileAccess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include "converter/engine/WidePath.h"
#else
#include "converter/engine/PendingResults.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string_view>
#endif

namespace karvelo::converter {

namespace {

constexpr std::size_t gatherBytes = 256 * 1024;

[[noreturn]] void outputExists(const std::string& path) {
  throw ConversionError(ExitCode::OutputExists,
                        "\"" + path + "\" already exists and /o was not given");
}

[[noreturn]] void writeFailure(const std::string& path, const std::string& why) {
  throw ConversionError(ExitCode::WriteFailure, "cannot write \"" + path + "\": " + why);
}

// Lets a test kill the converter at this exact point: it stops itself (SIGSTOP), or on Windows
// sets the event that the variable names and waits there.
void stopHereForTests() {
#ifdef _WIN32
  if (const wchar_t* event = ::_wgetenv(L"MULTICONV_TEST_STOP_BEFORE_RENAME"); event && *event) {
    if (const HANDLE stopped = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, event)) {
      ::SetEvent(stopped);
    }
    ::Sleep(INFINITE);
  }
#else
  if (const char* pause = std::getenv("MULTICONV_TEST_STOP_BEFORE_RENAME"); pause && *pause) {
    std::raise(SIGSTOP);
  }
#endif
}

}  // namespace

void OutputFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (offset == size()) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    if (pending_.size() >= gatherBytes) {
      flush();
    }
    return;
  }
  flush();
  put(offset, bytes);
  written_ = std::max(written_, offset + bytes.size());
}

void OutputFile::flush() const {
  if (!pending_.empty()) {
    put(written_, pending_);
    written_ += pending_.size();
    pending_.clear();
  }
}

void OutputFile::put(std::uint64_t offset, std::span<const std::uint8_t> bytes) const {
  const Transfer written = writeFileAt(handle_, offset, bytes.data(), bytes.size());
  if (written.error != 0) {
    const_cast<OutputFile*>(this)->fail(written.error);
  }
}

std::size_t OutputFile::readAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  flush();
  return readFileAt(handle_, offset, buffer, length).done;
}

void OutputFile::fail(unsigned long error) {
  discard();
  committed_ = true;  // nothing left to remove
  writeFailure(finalPath_, errorText(error));
}

OutputFile::~OutputFile() {
  if (!committed_) {
    discard();
  }
}

#ifdef _WIN32

namespace {

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

namespace {

constexpr wchar_t temporaryPrefix[] = L".multiconv-";

// While set, the system deletes the file when its last handle closes: when its writer dies in any
// way, the file goes with it.
bool deleteWhenClosed(HANDLE file, bool remove) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = remove ? TRUE : FALSE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// Gives the open file the path `target`, replacing a file of that name only with `replace`. The
// call takes the system's own form of a full path: "\??\C:\..." where the wide calls take
// "\\?\C:\...". 0, or the system's error code.
DWORD renameOpenFile(HANDLE file, const std::wstring& target, bool replace) {
  const std::wstring name =
      target.starts_with(L"\\\\?\\") ? L"\\??\\" + target.substr(4) : target;
  std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, name.data(), info->FileNameLength);
  return ::SetFileInformationByHandle(file, FileRenameInfo, info,
                                      static_cast<DWORD>(buffer.size()))
             ? 0
             : ::GetLastError();
}

// Removes the hidden results in the folder whose writers are gone. A writer holds its file open
// without sharing from its creation to its rename, so while it lives the file cannot be deleted;
// once it is gone, nothing holds the file.
void removeAbandonedResults(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  const HANDLE found =
      ::FindFirstFileExW((folder + L"\\" + temporaryPrefix + L"*").c_str(), FindExInfoBasic,
                         &entry, FindExSearchNameMatch, nullptr, 0);
  if (found == INVALID_HANDLE_VALUE) {
    return;
  }
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      ::DeleteFileW((folder + L"\\" + entry.cFileName).c_str());
    }
  } while (::FindNextFileW(found, &entry));
  ::FindClose(found);
}

}  // namespace

OutputFile::OutputFile(std::string finalPath, bool replace)
    : finalPath_(std::move(finalPath)), replace_(replace) {
  const std::size_t separator = finalPath_.find_last_of("\\/");
  const std::string folder = separator == std::string::npos ? "." : finalPath_.substr(0, separator);
  removeAbandonedResults(widePath(folder));
  HANDLE file = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary_ = folder + "\\.multiconv-" + std::to_string(::GetCurrentProcessId()) + "-" +
                 std::to_string(::GetTickCount64() + attempt);
    // Not shared, and with the right to rename it while it is open.
    file = ::CreateFileW(widePath(temporary_).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                         nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && (::GetLastError() != ERROR_FILE_EXISTS || attempt > 100)) {
      writeFailure(finalPath_, errorText(::GetLastError()));
    }
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
  const char* named = std::getenv("MULTICONV_TEST_NAMED_TEMPORARY");
  deletedWhenClosed_ = (named == nullptr || *named == '\0') && deleteWhenClosed(file, true);
  pendingTemporary = widePath(temporary_);
  for (int signalNumber : {SIGINT, SIGTERM}) {
    std::signal(signalNumber, removeTemporaryAndEnd);
  }
}

void OutputFile::discard() noexcept {
  if (handle_ != -1) {
    ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
  }
  ::DeleteFileW(widePath(temporary_).c_str());
  pendingTemporary.clear();
}

void OutputFile::commit() {
  flush();
  stopHereForTests();
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  if (replace_ && !::FlushFileBuffers(file)) {
    fail(::GetLastError());
  }
  // Renamed while still open and unshared, so that no other converter takes it for abandoned;
  // without `replace` the rename fails on an existing name, atomically. Should the process die
  // between keeping the file and renaming it, a later converter in this folder removes it.
  DWORD error = !deletedWhenClosed_ || deleteWhenClosed(file, false) ? 0 : ::GetLastError();
  if (error == 0) {
    error = renameOpenFile(file, widePath(finalPath_), replace_);
  }
  if (error != 0) {
    discard();
    committed_ = true;  // nothing left to remove
    if (!replace_ && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)) {
      outputExists(finalPath_);
    }
    writeFailure(finalPath_, errorText(error));
  }
  ::CloseHandle(file);
  handle_ = -1;
  committed_ = true;
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

bool pathExists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

bool isFolder(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

OutputFile::OutputFile(std::string finalPath, bool replace)
    : finalPath_(std::move(finalPath)), replace_(replace) {
  removeAbandonedResults();
  const std::string folder = folderOf(finalPath_);
  // Where the file system allows it, the result is written into a file without a name, which
  // the system removes whenever the process ends before the result is in place: nothing is left
  // behind even by a converter killed outright. /proc names the open file for linking it.
  if (!namedOnly() && ::access("/proc/self/fd", X_OK) == 0) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
      handle_ = fd;
      return;
    }
  }
  // Elsewhere it has a hidden name of its own, which a later converter removes if this one is
  // killed. The ending signals wait while the file is made and its name handed to their
  // handler, so that no signal can leave the file behind in between.
  temporary_ = folder + "/.multiconv-XXXXXX";
  sigset_t previous = blockEndingSignals();
  const int fd = ::mkostemp(temporary_.data(), O_CLOEXEC);
  const int openError = errno;
  if (fd >= 0) {
    guardTemporary(temporary_);
  }
  ::sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (fd < 0) {
    committed_ = true;  // nothing to remove
    writeFailure(finalPath_, std::strerror(openError));
  }
  handle_ = fd;
  pendingRecord_ = std::make_unique<PendingResult>(temporary_);
}

void OutputFile::discard() noexcept {
  if (handle_ != -1) {
    ::close(static_cast<int>(handle_));
    handle_ = -1;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
  }
  forgetTemporary();
  pendingRecord_.reset();
}

// Gives the unnamed result a hidden name of its own in the destination folder, recorded first so
// that a later converter removes it if this one is killed before the name goes.
int OutputFile::nameAnonymous(const std::string& self) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = folderOf(finalPath_) + "/.multiconv-" + randomLetters();
    sigset_t previous = blockEndingSignals();
    pendingRecord_ = std::make_unique<PendingResult>(name);
    const int status =
        ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0
                                                                                         : errno;
    if (status == 0) {
      temporary_ = std::move(name);
      guardTemporary(temporary_);
    }
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (status != EEXIST) {
      return status;
    }
  }
  return EEXIST;
}

void OutputFile::commit() {
  flush();
  stopHereForTests();
  const int fd = static_cast<int>(handle_);
  struct stat existing {};
  const bool replacing = replace_ && ::stat(finalPath_.c_str(), &existing) == 0;
  if (::fchmod(fd, replacing ? (existing.st_mode & 07777) : newFileMode()) != 0) {
    fail(static_cast<unsigned long>(errno));
  }
  // The old file is only given up for one whose contents are safely on disk.
  if (replacing && ::fsync(fd) != 0) {
    fail(static_cast<unsigned long>(errno));
  }
  int error = 0;
  if (temporary_.empty()) {
    // Unnamed: linked under the final name, which fails on a name that is taken; or, to replace
    // a file, named first and then renamed over it. The file stays open until it has a name.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (!replace_) {
      error = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, finalPath_.c_str(), AT_SYMLINK_FOLLOW) == 0
                  ? 0
                  : errno;
    } else if ((error = nameAnonymous(self)) == 0) {
      error = ::rename(temporary_.c_str(), finalPath_.c_str()) == 0 ? 0 : errno;
    }
    handle_ = -1;
    ::close(fd);
  } else {
    // Named: closed first, since a file system may report a failed write only then.
    handle_ = -1;
    if (::close(fd) != 0) {
      fail(static_cast<unsigned long>(errno));
    }
    error = replace_ ? (::rename(temporary_.c_str(), finalPath_.c_str()) == 0 ? 0 : errno)
                     : renameWithoutReplacing(temporary_, finalPath_);
  }
  if (error != 0) {
    discard();
    committed_ = true;
    if (error == EEXIST && !replace_) {
      outputExists(finalPath_);
    }
    writeFailure(finalPath_, std::strerror(error));
  }
  committed_ = true;
  forgetTemporary();
  pendingRecord_.reset();
}

#endif

}  // namespace karvelo::converter
