// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/Win32CommonControls.h"

#include <windows.h>

#include <commctrl.h>

namespace karvelo::platform {

void Win32CommonControls::initCommonControlsEx(const InitCommonControlsRecord& record) {
  INITCOMMONCONTROLSEX native{};
  native.dwSize = record.dwSize;
  native.dwICC = record.dwICC;
  ::InitCommonControlsEx(&native);
}

ModuleHandle Win32CommonControls::loadLibrary(const std::string& fileName) {
  // The library names passed here are plain ASCII, so the ANSI form serves without conversion.
  return reinterpret_cast<ModuleHandle>(::LoadLibraryA(fileName.c_str()));
}

void Win32CommonControls::freeLibrary(ModuleHandle handle) {
  ::FreeLibrary(reinterpret_cast<HMODULE>(handle));
}

}  // namespace karvelo::platform
