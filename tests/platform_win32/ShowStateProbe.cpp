// SPDX-License-Identifier: GPL-3.0-or-later
// A program that the tests start: it writes how it was asked to show its window and its whole
// command line, in UTF-16, to "started.txt" in its own folder, and ends. The report is written
// under another name first and renamed, so that a reader never sees half of it.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoW(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
  const std::wstring report = std::to_wstring(show) + L"\n" + ::GetCommandLineW();

  std::wstring folder(32768, L'\0');
  folder.resize(::GetModuleFileNameW(nullptr, folder.data(), static_cast<DWORD>(folder.size())));
  folder.resize(folder.find_last_of(L'\\') + 1);
  const std::wstring partial = folder + L"started.tmp";
  const HANDLE file = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  ::WriteFile(file, report.data(), static_cast<DWORD>(report.size() * sizeof(wchar_t)), &written,
              nullptr);
  ::CloseHandle(file);
  return ::MoveFileExW(partial.c_str(), (folder + L"started.txt").c_str(),
                       MOVEFILE_REPLACE_EXISTING)
             ? 0
             : 1;
}
