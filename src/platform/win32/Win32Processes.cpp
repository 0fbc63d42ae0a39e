#include "platform/win32/Win32Processes.h"

#include <windows.h>

#include "forms/RuntimeError.h"
#include "common/win32/WideText.h"

namespace karvelo::platform {

using common::narrow;
using common::systemMessage;
using common::widen;

namespace {

// The show command for a window style: the style numbers of the program's process start.
WORD showCommandFor(int windowStyle) {
  switch (windowStyle) {
    case windowStyle::Normal:
      return SW_SHOWNORMAL;
    case windowStyle::MinimizedNoFocus:
      return SW_SHOWMINNOACTIVE;
    default:
      throw RuntimeError(RuntimeError::InvalidCall,
                         "no such window style: " + std::to_string(windowStyle));
  }
}

}  // namespace

void Win32Processes::start(const std::string& commandLine, int windowStyle) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = showCommandFor(windowStyle);
  PROCESS_INFORMATION started{};
  // CreateProcessW may write into the command line, so it gets a copy of its own.
  std::wstring line = widen(commandLine);
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
    const DWORD error = ::GetLastError();
    throw RuntimeError(
        error == ERROR_PATH_NOT_FOUND ? RuntimeError::PathNotFound : RuntimeError::FileNotFound,
        "cannot start " + commandLine + ": " + systemMessage(error));
  }
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
}

std::string Win32Processes::programFolder() const {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      throw RuntimeError(RuntimeError::PathNotFound,
                         "the program's folder: " + systemMessage(::GetLastError()));
    }
    // A path that filled the buffer may have been cut: try again with room for more.
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() > 32768) {
      throw RuntimeError(RuntimeError::PathNotFound, "the program's path is too long");
    }
    path.resize(path.size() * 2);
  }
  const std::size_t separator = path.find_last_of(L"\\/");
  return narrow(std::wstring_view(path).substr(0, separator == std::wstring::npos ? 0 : separator));
}

}  // namespace karvelo::platform
