#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace karvelo::converter {

// What one positioned transfer did: the bytes moved, and the system's error code (errno, or
// GetLastError on Windows) when it stopped on a failure, else 0.
struct Transfer {
  std::size_t done = 0;
  unsigned long error = 0;
};

// Reads or writes at an offset of an open file (a descriptor, or a HANDLE on Windows), going on
// after short transfers and interruptions. A read stops early only at the end of the file; a
// write that the system takes no byte of (a full disk) is a failure.
Transfer readFileAt(std::intptr_t file, std::uint64_t offset, void* buffer, std::size_t length);
Transfer writeFileAt(std::intptr_t file, std::uint64_t offset, const void* bytes,
                     std::size_t length);

// The system's words for an error code.
std::string errorText(unsigned long error);

}  // namespace karvelo::converter
