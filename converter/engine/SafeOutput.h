#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace karvelo::converter {

// Writes a result so that no reader ever sees it half written: the bytes go to a temporary file
// in the destination folder, which is then renamed to the final name. Without `replace` an
// existing file is never replaced, even one that appears while the result is written; with it the
// old file is swapped for the complete new one in a single step. The temporary file is removed on
// failure and when the process is told to end (SIGTERM, SIGINT, SIGHUP); only a process killed
// outright leaves it behind, under its own ".multiconv-" name.
//
// Throws ConversionError: OutputExists when the name is taken, WriteFailure otherwise.
void writeSafely(const std::string& finalPath, std::span<const std::uint8_t> bytes, bool replace);

// Whether anything (a file, folder or dangling link) has this name.
bool pathExists(const std::string& path);

// Whether the path names a folder.
bool isFolder(const std::string& path);

}  // namespace karvelo::converter
