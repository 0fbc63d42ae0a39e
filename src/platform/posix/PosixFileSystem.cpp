// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/PosixFileSystem.h"

#include <filesystem>
#include <system_error>

#include "forms/RuntimeError.h"

namespace karvelo::platform {

std::vector<std::string> PosixFileSystem::filesIn(const std::string& folder) const {
  if (folder.empty()) throw RuntimeError(RuntimeError::PathNotFound, "no folder given");
  namespace fs = std::filesystem;
  std::error_code error;
  fs::directory_iterator it(fs::path(folder), error);
  if (error) throw RuntimeError(RuntimeError::PathNotFound, folder + ": " + error.message());
  std::vector<std::string> names;
  for (const fs::directory_iterator end; it != end; it.increment(error)) {
    // Entries that are not folders count as files, also links to files and special files.
    std::error_code statError;
    if (!it->is_directory(statError)) names.push_back(it->path().filename().string());
  }
  if (error) throw RuntimeError(RuntimeError::PathNotFound, folder + ": " + error.message());
  return names;
}

bool PosixFileSystem::isNormalFile(const std::string& path) const {
  namespace fs = std::filesystem;
  if (path.empty()) return false;
  const fs::path file(path);
  // A dot-name is hidden; a path ending in a separator names a folder and has no file name.
  const std::string name = file.filename().string();
  if (name.empty() || name.front() == '.') return false;
  std::error_code error;
  return fs::is_regular_file(file, error);
}

}  // namespace karvelo::platform
