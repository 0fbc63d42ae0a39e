// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/Win32FileSystem.h"

#include <windows.h>

#include <memory>

#include "forms/RuntimeError.h"
#include "common/win32/WideText.h"

namespace karvelo::platform {

using common::narrow;
using common::systemMessage;
using common::widePath;

namespace {

[[noreturn]] void failListing(const std::string& folder, DWORD error) {
  throw RuntimeError(RuntimeError::PathNotFound, folder + ": " + systemMessage(error));
}

bool isFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(widePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::vector<std::string> Win32FileSystem::filesIn(const std::string& folder) const {
  if (folder.empty()) throw RuntimeError(RuntimeError::PathNotFound, "no folder given");
  // Every entry of the folder; a drive's root already ends in its separator.
  const bool endsInSeparator = folder.back() == '\\' || folder.back() == '/';
  const std::string pattern = folder + (endsInSeparator ? "*" : "\\*");
  WIN32_FIND_DATAW found;
  const HANDLE handle =
      ::FindFirstFileExW(widePath(pattern).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                         nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // An empty drive root has not even the "." and ".." entries: nothing is found there.
    if (error == ERROR_FILE_NOT_FOUND && isFolder(folder)) return {};
    failListing(folder, error);
  }
  const std::unique_ptr<void, decltype(&::FindClose)> search(handle, &::FindClose);
  std::vector<std::string> names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      names.push_back(narrow(found.cFileName));
  } while (::FindNextFileW(handle, &found));
  if (const DWORD error = ::GetLastError(); error != ERROR_NO_MORE_FILES)
    failListing(folder, error);
  return names;
}

bool Win32FileSystem::isNormalFile(const std::string& path) const {
  if (path.empty()) return false;
  // The path names one entry exactly: wildcards match nothing here.
  const DWORD attributes = ::GetFileAttributesW(widePath(path).c_str());
  constexpr DWORD notNormal = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                              FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & notNormal) == 0;
}

}  // namespace karvelo::platform
