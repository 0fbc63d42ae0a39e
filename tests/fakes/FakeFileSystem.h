// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "forms/RuntimeError.h"
#include "platform/FileSystem.h"

namespace karvelo::fakes {

// Folders and the names of the files in them; any other folder, and the empty path, fail.
// Normal files are the paths listed in normalFiles; every path tested is recorded.
class FakeFileSystem final : public platform::FileSystem {
 public:
  std::vector<std::string> filesIn(const std::string& folder) const override {
    const auto it = folders.find(folder);
    if (folder.empty() || it == folders.end()) {
      throw RuntimeError(RuntimeError::PathNotFound, "path not found: " + folder);
    }
    return it->second;
  }
  bool isNormalFile(const std::string& path) const override {
    tested.push_back(path);
    return normalFiles.count(path) != 0;
  }

  std::map<std::string, std::vector<std::string>> folders;
  std::set<std::string> normalFiles;
  mutable std::vector<std::string> tested;
};

}  // namespace karvelo::fakes
