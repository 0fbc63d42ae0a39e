// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/platform/ResultFile.h"

#include "converter/core/ConversionError.h"
#include "converter/platform/Process.h"
#include "converter/platform/win32/WidePath.h"

#include <csignal>
#include <cstdint>
#include <cstring>
#include <vector>

#include <windows.h>

namespace karvelo::converter {

namespace {

constexpr wchar_t temporaryPrefix[] = L".multiconv-";

// The temporary file being written, for the signal handler; empty when there is none.
std::wstring pendingTemporary;

extern "C" void removeTemporaryAndEnd(int signalNumber) {
  if (!pendingTemporary.empty()) {
    ::DeleteFileW(pendingTemporary.c_str());
  }
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

// Lets a test kill the converter at this exact point: it sets the event that the variable names
// and waits there.
void stopHereForTests() {
  if (const std::wstring event = common::widen(environmentVariable("MULTICONV_TEST_STOP_BEFORE_RENAME"));
      !event.empty()) {
    if (const HANDLE stopped = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, event.c_str())) {
      ::SetEvent(stopped);
    }
    ::Sleep(INFINITE);
  }
}

// While set, the system deletes the file when its last handle closes: when its writer dies in any
// way, the file goes with it.
bool deleteWhenClosed(HANDLE file, bool remove) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = remove ? TRUE : FALSE;
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// Gives the open file the path `target`, replacing a file of that name only with `replace`. The
// call takes the system's own form of a full path: "\??\C:\..." where the wide calls take
// "\\?\C:\...". 0, or the system's error code.
DWORD renameOpenFile(HANDLE file, const std::wstring& target, bool replace) {
  const std::wstring name =
      target.starts_with(L"\\\\?\\") ? L"\\??\\" + target.substr(4) : target;
  std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, name.data(), info->FileNameLength);
  return ::SetFileInformationByHandle(file, FileRenameInfo, info,
                                      static_cast<DWORD>(buffer.size()))
             ? 0
             : ::GetLastError();
}

// Removes the hidden results in the folder whose writers are gone. A writer holds its file open
// without sharing from its creation to its rename, so while it lives the file cannot be deleted;
// once it is gone, nothing holds the file.
void removeAbandonedResults(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  const HANDLE found =
      ::FindFirstFileExW((folder + L"\\" + temporaryPrefix + L"*").c_str(), FindExInfoBasic,
                         &entry, FindExSearchNameMatch, nullptr, 0);
  if (found == INVALID_HANDLE_VALUE) {
    return;
  }
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      ::DeleteFileW((folder + L"\\" + entry.cFileName).c_str());
    }
  } while (::FindNextFileW(found, &entry));
  ::FindClose(found);
}

}  // namespace

struct ResultFile::State {
  State(const std::string& path, bool replacing) : finalPath(path), replace(replacing) {}

  std::string finalPath;
  bool replace;
  HANDLE file = INVALID_HANDLE_VALUE;
  std::string temporary;
  // Whether the system deletes the file when its last handle closes (where the file system can).
  bool deletedWhenClosed = false;
  bool ended = false;  // committed or discarded
};

ResultFile::ResultFile(const std::string& finalPath, bool replace)
    : state_(std::make_unique<State>(finalPath, replace)) {
  State& state = *state_;
  const std::size_t separator = finalPath.find_last_of("\\/");
  const std::string folder = separator == std::string::npos ? "." : finalPath.substr(0, separator);
  removeAbandonedResults(fullWidePath(folder));
  for (unsigned attempt = 0; state.file == INVALID_HANDLE_VALUE; ++attempt) {
    state.temporary = folder + "\\.multiconv-" + std::to_string(::GetCurrentProcessId()) + "-" +
                      std::to_string(::GetTickCount64() + attempt);
    // Not shared, and with the right to rename it while it is open.
    state.file = ::CreateFileW(fullWidePath(state.temporary).c_str(),
                               GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (state.file == INVALID_HANDLE_VALUE &&
        (::GetLastError() != ERROR_FILE_EXISTS || attempt > 100)) {
      writeFailure(finalPath, errorText(::GetLastError()));
    }
  }
  state.deletedWhenClosed = environmentVariable("MULTICONV_TEST_NAMED_TEMPORARY").empty() &&
                            deleteWhenClosed(state.file, true);
  pendingTemporary = fullWidePath(state.temporary);
  for (int signalNumber : {SIGINT, SIGTERM}) {
    std::signal(signalNumber, removeTemporaryAndEnd);
  }
}

ResultFile::~ResultFile() { discard(); }

FileHandle ResultFile::file() const { return reinterpret_cast<FileHandle>(state_->file); }

const std::string& ResultFile::finalPath() const { return state_->finalPath; }

void ResultFile::discard() noexcept {
  State& state = *state_;
  if (state.ended) {
    return;
  }
  state.ended = true;
  if (state.file != INVALID_HANDLE_VALUE) {
    ::CloseHandle(state.file);
    state.file = INVALID_HANDLE_VALUE;
  }
  ::DeleteFileW(fullWidePath(state.temporary).c_str());
  pendingTemporary.clear();
}

void ResultFile::commit() {
  stopHereForTests();
  State& state = *state_;
  if (state.replace && !::FlushFileBuffers(state.file)) {
    const DWORD error = ::GetLastError();
    discard();
    writeFailure(state.finalPath, errorText(error));
  }
  // Renamed while still open and unshared, so that no other converter takes it for abandoned;
  // without `replace` the rename fails on an existing name, atomically. Should the process die
  // between keeping the file and renaming it, a later converter in this folder removes it.
  DWORD error =
      !state.deletedWhenClosed || deleteWhenClosed(state.file, false) ? 0 : ::GetLastError();
  if (error == 0) {
    error = renameOpenFile(state.file, fullWidePath(state.finalPath), state.replace);
  }
  if (error != 0) {
    discard();
    if (!state.replace && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)) {
      outputExists(state.finalPath);
    }
    writeFailure(state.finalPath, errorText(error));
  }
  ::CloseHandle(state.file);
  state.file = INVALID_HANDLE_VALUE;
  state.ended = true;
  pendingTemporary.clear();
}

}  // namespace karvelo::converter
