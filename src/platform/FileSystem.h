// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace karvelo::platform {

// Reading the file system. A failure is a RuntimeError.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The names (with extension, without folder) of the files directly inside the folder, in the
  // order the file system gives them; subfolders are left out. An empty path, or a folder that
  // does not exist or cannot be read, is a failure.
  virtual std::vector<std::string> filesIn(const std::string& folder) const = 0;
  // Whether the path names a normal file: one that exists and is neither a folder, nor hidden,
  // nor a system file. Read-only files count. Never a failure: anything else is false.
  virtual bool isNormalFile(const std::string& path) const = 0;
};

}  // namespace karvelo::platform
