#include "converter/platform/Process.h"

#include "common/win32/WideText.h"
#include "converter/core/SwitchParser.h"

#include <cstdlib>

#include <windows.h>

namespace karvelo::converter {

CommandLine processCommandLine(int, char**) {
  std::string text = common::narrow(::GetCommandLineW());
  std::vector<std::string> words = switchWords(text);
  return {std::move(words), std::move(text)};
}

std::string environmentVariable(const char* name) {
  const wchar_t* value = ::_wgetenv(common::widen(name).c_str());
  return value != nullptr ? common::narrow(value) : "";
}

unsigned long processId() { return ::GetCurrentProcessId(); }

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
    const std::wstring text = common::widen(line);  // a console shows UTF-16, whatever its code page
    ::WriteConsoleW(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    ::WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
}

std::string failureLogPath() {
  const std::wstring appData = common::widen(environmentVariable("LOCALAPPDATA"));
  if (appData.empty()) {
    return {};
  }
  const std::wstring folder = appData + L"\\Karvelo";
  ::CreateDirectoryW(appData.c_str(), nullptr);
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return common::narrow(folder + L"\\multiconv.log");
}

}  // namespace karvelo::converter
