// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <windows.h>

#include <shlobj.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "common/win32/WideText.h"
#include "platform/win32/Win32Processes.h"

namespace karvelo::testing {

using common::narrow;
using common::widen;

// A folder under the user's temporary folder that removes itself with everything in it.
struct TempFolder {
  std::filesystem::path path;

  explicit TempFolder(const std::string& name) {
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    path = std::filesystem::path(temp) /
           (widen(name) + L"-" + std::to_wstring(::GetCurrentProcessId()));
    removeTree(longForm(path));
    std::filesystem::create_directories(path);
  }
  ~TempFolder() { removeTree(longForm(path)); }

  // The UTF-8 path of a file or folder inside, which is made when `folder` is set. The shell is
  // told of each new folder, as programs tell it, so that its folder dialog finds them at once.
  std::string at(const std::string& relative, bool folder = false) const {
    const std::filesystem::path inside = path / widen(relative);
    if (folder) {
      std::filesystem::create_directories(longForm(inside));
      for (auto level = inside; level != path; level = level.parent_path())
        ::SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW | SHCNF_FLUSH, level.c_str(), nullptr);
    }
    return narrow(inside.wstring());
  }
  void write(const std::string& relative) const {
    std::ofstream(std::filesystem::path(longForm(path / widen(relative)))) << "x";
  }

  // Paths longer than MAX_PATH work in the "\\?\" form.
  static std::wstring longForm(const std::filesystem::path& path) {
    return L"\\\\?\\" + path.wstring();
  }

  // Removes a folder with everything in it, read-only files and paths of any length included
  // (the C library's calls under std::filesystem stop at MAX_PATH).
  static void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        const std::wstring inside = folder + L"\\" + name;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
          ::SetFileAttributesW(inside.c_str(), FILE_ATTRIBUTE_NORMAL);
          ::DeleteFileW(inside.c_str());
        } else if (name != L"." && name != L"..") {
          removeTree(inside);
        }
      } while (::FindNextFileW(search, &found));
      ::FindClose(search);
    }
    ::RemoveDirectoryW(folder.c_str());
  }
};

// Puts a copy of the program that reports how it was started, which lies beside the tests, at
// the target path.
inline void copyProbe(const std::string& target) {
  const std::string probe = platform::Win32Processes().programFolder() + "\\show_state_probe.exe";
  ::CopyFileW(widen(probe).c_str(), widen(target).c_str(), FALSE);
}

// What a started copy of the probe in that folder reported: its show state, a line end, and its
// command line; empty when nothing came within a minute. The report is removed, for the next.
inline std::string waitForReport(const std::string& folder) {
  const std::filesystem::path file = std::filesystem::path(widen(folder)) / L"started.txt";
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  std::string bytes;
  // The report may exist a moment before it can be read: the rename that made it may still hold
  // it open.
  while (bytes.empty() && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ifstream in(file, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  return narrow(std::wstring_view(reinterpret_cast<const wchar_t*>(bytes.data()),
                                  bytes.size() / sizeof(wchar_t)));
}

}  // namespace karvelo::testing
