// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace karvelo::bench {

// A folder listing of the given names, without touching the disk.
class ListedFolder final : public platform::FileSystem {
 public:
  explicit ListedFolder(std::vector<std::string> names) : names_(std::move(names)) {}
  std::vector<std::string> filesIn(const std::string&) const override { return names_; }
  bool isNormalFile(const std::string&) const override { return false; }

 private:
  std::vector<std::string> names_;
};

// The names of a camera's pictures, in no particular order, as many as a list can hold.
inline std::vector<std::string> pictureNames(int count = 32767) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%05d.jpg", (i * 7919) % 100000);
    names.emplace_back(name);
  }
  return names;
}

}  // namespace karvelo::bench
