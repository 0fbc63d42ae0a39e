// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/Win32ShellOpen.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include "common/win32/WideText.h"

namespace karvelo::platform {

using common::widen;

void Win32ShellOpen::open(std::uintptr_t owner, const std::string& verb, const std::string& file,
                          const std::optional<std::string>& parameters,
                          const std::optional<std::string>& directory, int showCmd) {
  const std::wstring wideVerb = widen(verb);
  const std::wstring wideFile = widen(file);
  const std::wstring wideParameters = widen(parameters.value_or(""));
  const std::wstring wideDirectory = widen(directory.value_or(""));
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  // The result is not looked at: a page that cannot be opened goes unnoticed.
  ::ShellExecuteW(reinterpret_cast<HWND>(owner), wideVerb.c_str(), wideFile.c_str(),
                  parameters ? wideParameters.c_str() : nullptr,
                  directory ? wideDirectory.c_str() : nullptr, showCmd);
  if (SUCCEEDED(com)) ::CoUninitialize();
}

}  // namespace karvelo::platform
