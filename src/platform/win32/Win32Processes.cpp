// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/Win32Processes.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <string_view>
#include <vector>

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

namespace {

// The program's environment block with `entry` ("NAME=value") in place of any value of NAME.
std::wstring environmentWith(const std::wstring& entry) {
  const std::wstring name = entry.substr(0, entry.find(L'=') + 1);
  std::wstring block;
  if (wchar_t* strings = ::GetEnvironmentStringsW()) {
    for (const wchar_t* at = strings; *at != L'\0'; at += std::wcslen(at) + 1) {
      const std::wstring_view variable(at);
      if (::CompareStringOrdinal(variable.data(), static_cast<int>(std::min(variable.size(), name.size())),
                                 name.data(), static_cast<int>(name.size()), TRUE) != CSTR_EQUAL) {
        block.append(variable).push_back(L'\0');
      }
    }
    ::FreeEnvironmentStringsW(strings);
  }
  block.append(entry).push_back(L'\0');
  return block;
}

}  // namespace

void Win32Processes::start(const std::string& commandLine, int windowStyle) {
  create(commandLine, windowStyle, nullptr, nullptr);
}

void Win32Processes::start(const std::string& commandLine, int windowStyle, void* inherited,
                           const std::string& variable) {
  std::wstring environment =
      environmentWith(widen(variable) + L"=" +
                      std::to_wstring(reinterpret_cast<std::uintptr_t>(inherited)));
  ::SetHandleInformation(inherited, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  try {
    create(commandLine, windowStyle, inherited, environment.data());
  } catch (...) {
    ::SetHandleInformation(inherited, HANDLE_FLAG_INHERIT, 0);
    throw;
  }
  ::SetHandleInformation(inherited, HANDLE_FLAG_INHERIT, 0);
}

void Win32Processes::create(const std::string& commandLine, int windowStyle, void* inherited,
                            wchar_t* environment) {
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup.StartupInfo;
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = showCommandFor(windowStyle);
  // A handle handed down is the one handle the program inherits: listed as such, where the
  // system takes a list, and in any case the only one made inheritable.
  std::vector<std::uint8_t> attributes;
  DWORD flags = environment ? CREATE_UNICODE_ENVIRONMENT : 0;
  if (inherited) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    attributes.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
    if (size > 0 && ::InitializeProcThreadAttributeList(list, 1, 0, &size) &&
        ::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &inherited,
                                    sizeof inherited, nullptr, nullptr)) {
      startup.StartupInfo.cb = sizeof startup;
      startup.lpAttributeList = list;
      flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
  }
  PROCESS_INFORMATION started{};
  // CreateProcessW may write into the command line, so it gets a copy of its own.
  std::wstring line = widen(commandLine);
  const BOOL created =
      ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, inherited ? TRUE : FALSE, flags,
                       environment, nullptr, &startup.StartupInfo, &started);
  const DWORD error = ::GetLastError();
  if (startup.lpAttributeList) ::DeleteProcThreadAttributeList(startup.lpAttributeList);
  if (!created) {
    throw RuntimeError(
        error == ERROR_PATH_NOT_FOUND ? RuntimeError::PathNotFound : RuntimeError::FileNotFound,
        "cannot start " + commandLine + ": " + systemMessage(error));
  }
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
}

std::string Win32Processes::programFolder() const {
  if (!programFolder_.empty()) return programFolder_;
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
