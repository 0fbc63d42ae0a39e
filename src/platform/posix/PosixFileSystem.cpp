#include "platform/posix/PosixFileSystem.h"

#include "forms/RuntimeError.h"

#include <filesystem>
#include <system_error>

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

}  // namespace karvelo::platform
