// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileSystem.h"

namespace karvelo::platform {

// The file system through the wide Windows calls. The listing (FindFirstFileExW) takes every
// entry that is not a folder, hidden and system files included; the normal-file test takes an
// existing file that is neither hidden, nor a system file, nor a device.
class Win32FileSystem final : public FileSystem {
 public:
  std::vector<std::string> filesIn(const std::string& folder) const override;
  bool isNormalFile(const std::string& path) const override;
};

}  // namespace karvelo::platform
