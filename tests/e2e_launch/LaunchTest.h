// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/PosixProcesses.h"

namespace karvelo::platform {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

// A program folder with a blank in its name, holding a stand-in for the converter that records
// its process id and its arguments, one file per run.
class LaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "karvelo launch XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    fs::create_directory(folder / "records");
    writeScript(folder / "multiconv",
                "#!/bin/sh\n"
                "out=\"$(dirname \"$0\")/records/$$\"\n"
                "printf '%s\\n' \"$0\" \"$@\" > \"$out.tmp\" && mv \"$out.tmp\" \"$out\"\n");
  }
  void TearDown() override { fs::remove_all(folder); }

  static void writeScript(const fs::path& path, const std::string& text) {
    std::ofstream(path) << text;
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
  }

  // The recorded runs in the order they were started (process ids grow), once `count` are in.
  std::vector<Args> records(std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::map<long, Args> byPid;
    while (std::chrono::steady_clock::now() < deadline) {
      byPid.clear();
      for (const auto& entry : fs::directory_iterator(folder / "records")) {
        if (entry.path().extension() == ".tmp") continue;
        std::ifstream in(entry.path());
        Args lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        byPid[std::stol(entry.path().filename().string())] = lines;
      }
      if (byPid.size() >= count) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::vector<Args> result;
    for (auto& [pid, args] : byPid) result.push_back(args);
    return result;
  }

  fs::path folder;
  PosixProcesses processes;
};

}  // namespace karvelo::platform
