#pragma once

#include "forms/RuntimeError.h"
#include "platform/FileSystem.h"

#include <map>
#include <string>
#include <vector>

namespace karvelo::fakes {

// Folders and the names of the files in them; any other folder, and the empty path, fail.
class FakeFileSystem final : public platform::FileSystem {
 public:
  std::vector<std::string> filesIn(const std::string& folder) const override {
    const auto it = folders.find(folder);
    if (folder.empty() || it == folders.end()) {
      throw RuntimeError(RuntimeError::PathNotFound, "path not found: " + folder);
    }
    return it->second;
  }

  std::map<std::string, std::vector<std::string>> folders;
};

}  // namespace karvelo::fakes
