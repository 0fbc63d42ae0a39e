// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/platform/FileAccess.h"

#include "converter/platform/win32/WidePath.h"

#include <algorithm>
#include <cstdint>

#include <windows.h>

namespace karvelo::converter {

namespace {

HANDLE handleOf(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

Transfer transfer(FileHandle file, std::uint64_t offset, void* bytes, std::size_t length,
                  bool writing) {
  Transfer result;
  while (result.done < length) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>((offset + result.done) & 0xFFFFFFFFU);
    at.OffsetHigh = static_cast<DWORD>((offset + result.done) >> 32);
    DWORD count = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(length - result.done, 1U << 30));
    auto* data = static_cast<std::uint8_t*>(bytes) + result.done;
    const BOOL ok = writing ? ::WriteFile(handleOf(file), data, chunk, &count, &at)
                            : ::ReadFile(handleOf(file), data, chunk, &count, &at);
    if (!ok && !writing && ::GetLastError() == ERROR_HANDLE_EOF) {
      break;
    }
    if (!ok || (writing && count == 0)) {
      result.error = ok ? ERROR_DISK_FULL : ::GetLastError();
      break;
    }
    if (count == 0) {
      break;
    }
    result.done += count;
  }
  return result;
}

OpenedFile openFailure() { return {noFile, 0, errorText(::GetLastError())}; }

}  // namespace

Transfer readFileAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t length) {
  return transfer(file, offset, buffer, length, false);
}

Transfer writeFileAt(FileHandle file, std::uint64_t offset, const void* bytes,
                     std::size_t length) {
  return transfer(file, offset, const_cast<void*>(bytes), length, true);
}

void closeFile(FileHandle file) { ::CloseHandle(handleOf(file)); }

OpenedFile openForReading(const std::string& path) {
  const HANDLE file = ::CreateFileW(fullWidePath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return openFailure();
  }
  BY_HANDLE_FILE_INFORMATION information{};
  LARGE_INTEGER size{};
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
      !::GetFileSizeEx(file, &size)) {
    ::CloseHandle(file);
    return {noFile, 0, "not a regular file"};
  }
  return {reinterpret_cast<FileHandle>(file), static_cast<std::uint64_t>(size.QuadPart), {}};
}

OpenedFile openScratchFile() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  if (::GetTempPathW(MAX_PATH + 1, folder) == 0 ||
      ::GetTempFileNameW(folder, L"mcv", 0, name) == 0) {
    return openFailure();
  }
  const HANDLE file = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return openFailure();
  }
  return {reinterpret_cast<FileHandle>(file), 0, {}};
}

// Converters running side by side append to the same log. Windows appends atomically, but Wine
// finds the end and writes there in two steps, so two converters could write over each other's
// line; an exclusive lock on the whole file makes each append one step everywhere.
void appendToFile(const std::string& path, std::string_view text) {
  const HANDLE file = ::CreateFileW(fullWidePath(path).c_str(), FILE_APPEND_DATA | GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  OVERLAPPED whole{};
  const bool locked =
      ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) != FALSE;
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  if (locked) {
    ::UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
  }
  ::CloseHandle(file);
}

bool pathExists(const std::string& path) {
  return ::GetFileAttributesW(fullWidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(fullWidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string errorText(unsigned long error) { return common::systemMessage(error); }

}  // namespace karvelo::converter
