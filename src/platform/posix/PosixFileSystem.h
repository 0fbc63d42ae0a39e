// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileSystem.h"

namespace karvelo::platform {

class PosixFileSystem final : public FileSystem {
 public:
  std::vector<std::string> filesIn(const std::string& folder) const override;
  // A regular file, reached through links, whose name does not start with a dot.
  bool isNormalFile(const std::string& path) const override;
};

}  // namespace karvelo::platform
