#include "forms/RuntimeError.h"
#include "platform/posix/PosixProcesses.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace karvelo::platform {
namespace {

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

TEST_F(LaunchTest, StartsTheConverterOncePerCommandLineDetachedAndInOrder) {
  const std::string program = (folder / "multiconv").string();
  const std::vector<std::string> files = {"a b.jpg", "beach.jpg", "x'y.png"};
  std::vector<Args> expected;
  for (const std::string& file : files) {
    processes.start(program + " /s:\"/pics/in here/" + file + "\" /d:\"/pics/out/\" /m:r /r:0.25 /pre:t",
                    windowStyle::MinimizedNoFocus);
    expected.push_back({program, "/s:/pics/in here/" + file, "/d:/pics/out/", "/m:r", "/r:0.25", "/pre:t"});
  }
  EXPECT_EQ(records(files.size()), expected);
  // The converters ran as grandchildren: nothing is left for this process to reap.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(LaunchTest, FindsTheProgramByTheRuleForUnquotedPaths) {
  writeScript(folder / "prog two", "#!/bin/sh\n");
  const std::string base = folder.string();
  // Only "prog two" exists: the longer run of words names it.
  EXPECT_EQ(PosixProcesses::resolve(base + "/prog two /o"), (Args{base + "/prog two", "/o"}));
  // With "prog" beside it, the shortest run wins.
  writeScript(folder / "prog", "#!/bin/sh\n");
  EXPECT_EQ(PosixProcesses::resolve(base + "/prog two /o"), (Args{base + "/prog", "two", "/o"}));
  // A quoted program path is taken whole.
  EXPECT_EQ(PosixProcesses::resolve("\"" + base + "/prog two\" /o"), (Args{base + "/prog two", "/o"}));
  // A folder never counts as the program.
  fs::create_directory(folder / "sub");
  writeScript(folder / "sub dir", "#!/bin/sh\n");
  EXPECT_EQ(PosixProcesses::resolve(base + "/sub dir"), (Args{base + "/sub dir"}));
}

TEST_F(LaunchTest, AStartThatCannotHappenFailsAtOnceAndStartsNothing) {
  const std::string program = (folder / "multiconv").string();
  const auto fails = [&](const std::string& commandLine) {
    try {
      processes.start(commandLine, windowStyle::MinimizedNoFocus);
    } catch (const RuntimeError&) {
      return true;
    }
    return false;
  };
  EXPECT_TRUE(fails((folder / "missing").string() + " /s:\"a.jpg\""));
  EXPECT_TRUE(fails(""));
  std::ofstream(folder / "plain") << "not a program\n";
  EXPECT_TRUE(fails((folder / "plain").string() + " /o")) << "not executable";
  // A name holding a double quote cannot be carried by the command line.
  EXPECT_TRUE(fails(program + " /s:\"/pics/say \"hi\".jpg\" /d:\"/out/\""));
  EXPECT_TRUE(fails(program + " /s:\"/pics/a\" /o \"b.jpg\" /d:\"/out/\""));
  EXPECT_TRUE(fails(program + " /s:\"/pics/odd\".jpg /d:\"/out/\""));
  EXPECT_TRUE(fails(program + " /s:\"/pics/open.jpg /d:/out/"));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_TRUE(fs::is_empty(folder / "records"));
  // A drive root as the Windows form writes it stays one value.
  EXPECT_FALSE(fails(program + " /s:\"C:\\a.jpg\" /d:\"C:\\\" /o"));
  EXPECT_EQ(records(1), (std::vector<Args>{{program, "/s:C:\\a.jpg", "/d:C:\\", "/o"}}));
}

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutable) {
  const PosixProcesses processes;
  const fs::path folder = processes.programFolder();
  EXPECT_TRUE(fs::exists(folder / "e2e_launch_tests"));
}

}  // namespace
}  // namespace karvelo::platform
