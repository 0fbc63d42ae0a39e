// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for multiconv.exe: writes the command line it was started with, exactly, as UTF-8
// into a file of its own (named by its process ID) in the folder that KARVELO_RECORD names.
#include <windows.h>

#include <cstdio>
#include <string>

int wmain() {
  wchar_t folder[MAX_PATH];
  if (GetEnvironmentVariableW(L"KARVELO_RECORD", folder, MAX_PATH) == 0) return 2;
  const std::wstring path =
      std::wstring(folder) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L".txt";
  const wchar_t* line = GetCommandLineW();
  char utf8[8192];
  const int length = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, nullptr, nullptr);
  FILE* out = _wfopen(path.c_str(), L"wb");
  if (!out || length <= 0) return 1;
  std::fwrite(utf8, 1, static_cast<std::size_t>(length - 1), out);
  std::fclose(out);
  return 0;
}
