// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace karvelo::converter {

// An open file of the system: a file descriptor on POSIX, a HANDLE on Windows.
using FileHandle = std::intptr_t;
inline constexpr FileHandle noFile = -1;

// What one positioned transfer did: the bytes moved, and the system's error code (errno, or
// GetLastError on Windows) when it stopped on a failure, else 0.
struct Transfer {
  std::size_t done = 0;
  unsigned long error = 0;
};

// Reads or writes at an offset of an open file, going on after short transfers and
// interruptions. A read stops early only at the end of the file; a write that the system takes
// no byte of (a full disk) is a failure.
Transfer readFileAt(FileHandle file, std::uint64_t offset, void* buffer, std::size_t length);
Transfer writeFileAt(FileHandle file, std::uint64_t offset, const void* bytes, std::size_t length);

void closeFile(FileHandle file);

// A file just opened: its handle and size, or noFile and the words for why it could not be.
struct OpenedFile {
  FileHandle file = noFile;
  std::uint64_t size = 0;
  std::string failure;
};

// Opens an existing regular file for reading, sharing it with any writer.
OpenedFile openForReading(const std::string& path);

// Opens a new, empty file for scratch data that the system removes once the file is closed or
// the process ends in any way: on POSIX in $TMPDIR (else /var/tmp, which unlike /tmp is rarely
// held in memory), on Windows in the user's temporary folder.
OpenedFile openScratchFile();

// Appends the text in one write, so that lines of processes writing at once never mix; the file
// is made where missing, readable by the user alone on POSIX. Failing to append is not reported.
void appendToFile(const std::string& path, std::string_view text);

// Whether anything (a file, folder or dangling link) has this name.
bool pathExists(const std::string& path);

// Whether the path names a folder.
bool isFolder(const std::string& path);

// The system's words for an error code.
std::string errorText(unsigned long error);

}  // namespace karvelo::converter
