// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/platform/Process.h"

#include "common/ConverterLog.h"
#include "common/Outcome.h"
#include "common/win32/WideText.h"
#include "converter/core/SwitchParser.h"

#include <charconv>
#include <cstdint>
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
  const std::string path = common::converterLogPath();
  if (!path.empty()) {
    const std::wstring folder = common::widen(path.substr(0, path.rfind('\\')));
    ::CreateDirectoryW(folder.substr(0, folder.rfind(L'\\')).c_str(), nullptr);
    ::CreateDirectoryW(folder.c_str(), nullptr);
  }
  return path;
}

void writeOutcome(const std::string& record) {
  const std::string variable = environmentVariable(common::outcomeVariable);
  std::uintptr_t value = 0;
  const auto [end, error] =
      std::from_chars(variable.data(), variable.data() + variable.size(), value);
  const auto pipe = reinterpret_cast<HANDLE>(value);
  // Only a pipe: a number that names another file would have the record written into it. The
  // program reads its end all the time, so a write waits at most for it to catch up.
  if (variable.empty() || error != std::errc() || end != variable.data() + variable.size() ||
      ::GetFileType(pipe) != FILE_TYPE_PIPE) {
    return;
  }
  DWORD written = 0;
  ::WriteFile(pipe, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  ::CloseHandle(pipe);
}

void dieHereForTests(const std::string& source) {
  if (const std::string victim = environmentVariable("MULTICONV_TEST_KILL_SOURCE");
      !victim.empty() && victim == source) {
    ::TerminateProcess(::GetCurrentProcess(), 9);
  }
}

}  // namespace karvelo::converter
