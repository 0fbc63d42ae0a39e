// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/platform/posix/UserFolder.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace karvelo::converter {

bool isPrivateFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return false;
  }
  struct stat status {};
  return ::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
         status.st_uid == ::getuid() && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::optional<std::string> userRuntimeFolder() {
  const auto below = [](const char* variable, const char* name) -> std::string {
    const char* value = std::getenv(variable);
    return value != nullptr && *value == '/' ? std::string(value) + name : std::string();
  };
  for (const std::string& folder :
       {below("MULTICONV_SLOT_DIR", ""), below("XDG_RUNTIME_DIR", "/karvelo-slots"),
        "/tmp/karvelo-" + std::to_string(::getuid()), below("HOME", "/.cache/karvelo-slots")}) {
    if (!folder.empty() && isPrivateFolder(folder)) return folder;
  }
  return std::nullopt;
}

}  // namespace karvelo::converter
