#pragma once

#include "platform/FileSystem.h"

namespace karvelo::platform {

class PosixFileSystem final : public FileSystem {
 public:
  std::vector<std::string> filesIn(const std::string& folder) const override;
};

}  // namespace karvelo::platform
