#include "converter/engine/FailureLog.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#ifdef _WIN32
#include "converter/engine/WidePath.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace karvelo::converter {

namespace {

std::string oneLine(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 32 || c == 127) {
      c = '?';
    }
  }
  return text;
}

std::string utcStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
#ifdef _WIN32
  ::gmtime_s(&utc, &now);
#else
  ::gmtime_r(&now, &utc);
#endif
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return stamp;
}

#ifdef _WIN32

// The converter has no console of its own. Its error goes to the standard error handed over by
// whoever started it (a file or a pipe), else to the console of the one that started it (a
// command prompt), else nowhere.
void showError(const std::string& line) {
  HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) {
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) {
      return;
    }
    error = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, 0, nullptr);
    if (error == INVALID_HANDLE_VALUE) {
      return;
    }
  }
  DWORD written = 0;
  DWORD mode = 0;
  if (::GetConsoleMode(error, &mode)) {
    const std::wstring text = widen(line);  // a console shows UTF-16, whatever its code page
    ::WriteConsoleW(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    ::WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
}

void appendToLog(const std::string& line) {
  const wchar_t* appData = ::_wgetenv(L"LOCALAPPDATA");
  if (appData == nullptr || *appData == L'\0') {
    return;
  }
  const std::wstring folder = std::wstring(appData) + L"\\Karvelo";
  ::CreateDirectoryW(appData, nullptr);
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const HANDLE log = ::CreateFileW((folder + L"\\multiconv.log").c_str(), FILE_APPEND_DATA,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(log);
  }
}

unsigned long processId() { return ::GetCurrentProcessId(); }

#else

void showError(const std::string& line) {
  [[maybe_unused]] const ssize_t shown = ::write(STDERR_FILENO, line.data(), line.size());
}

std::string logFolder() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
    return std::string(state) + "/karvelo";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::string(home) + "/.local/state/karvelo";
  }
  return {};
}

// mkdir -p for the folders of the log.
void makeFolders(const std::string& folder) {
  for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1)) {
    ::mkdir(folder.substr(0, slash).c_str(), 0700);
  }
  ::mkdir(folder.c_str(), 0700);
}

// One write with O_APPEND, so that lines of converters failing at once never mix.
void appendToLog(const std::string& line) {
  const std::string folder = logFolder();
  if (folder.empty()) {
    return;
  }
  makeFolders(folder);
  const int fd = ::open((folder + "/multiconv.log").c_str(),
                        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd >= 0) {
    [[maybe_unused]] const ssize_t logged = ::write(fd, line.data(), line.size());
    ::close(fd);
  }
}

unsigned long processId() { return static_cast<unsigned long>(::getpid()); }

#endif

}  // namespace

void reportFailure(ExitCode code, const std::string& message, const std::string& commandLine) {
  const std::string text = oneLine(message);
  showError("multiconv: " + text + "\n");
  appendToLog(utcStamp() + " pid " + std::to_string(processId()) + " exit " +
              std::to_string(static_cast<int>(code)) + ": " + text + " [" + oneLine(commandLine) +
              "]\n");
}

}  // namespace karvelo::converter
