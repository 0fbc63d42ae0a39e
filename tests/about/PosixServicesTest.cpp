// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "about/frmAbout.h"
#include "fakes/FakeServices.h"
#include "platform/posix/DetachedSpawn.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixRegistry.h"
#include "platform/posix/PosixShellOpen.h"

namespace fs = std::filesystem;
using namespace karvelo::platform;

namespace {

// The started programs write to file descriptor 9, which they inherit; the text arrives once
// every program holding the pipe has ended, so nothing here waits on a clock.
constexpr int ReportFd = 9;

class Report {
 public:
  Report() {
    int ends[2];
    EXPECT_EQ(::pipe(ends), 0);
    read_ = ends[0];
    ::dup2(ends[1], ReportFd);
    ::close(ends[1]);
  }
  ~Report() { ::close(read_); }
  std::string collect() {
    ::close(ReportFd);
    std::string text;
    char chunk[256];
    ssize_t got;
    while ((got = ::read(read_, chunk, sizeof chunk)) > 0 || (got < 0 && errno == EINTR)) {
      if (got > 0) text.append(chunk, static_cast<std::size_t>(got));
    }
    return text;
  }

 private:
  int read_ = -1;
};

bool noChildLeft() {
  int status = 0;
  return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

struct TempFolder {
  fs::path path = fs::temp_directory_path() / ("karvelo-about-" + std::to_string(::getpid()));
  TempFolder() { fs::create_directories(path); }
  ~TempFolder() { fs::remove_all(path); }
  fs::path write(const std::string& name, const std::string& text) const {
    std::ofstream(path / name) << text;
    return path / name;
  }
};

}  // namespace

TEST(PosixServices, DetachedSpawnStartsWithoutLeavingAChildAndReportsFailures) {
  TempFolder temp;
  {
    Report report;
    EXPECT_EQ(spawnDetached({"sh", "-c", "pwd >&9; printf '%s' \"$1\" >&9", "sh", "a \"b\" c"},
                            temp.path.string()),
              0);
    EXPECT_TRUE(noChildLeft());
    EXPECT_EQ(report.collect(), fs::canonical(temp.path).string() + "\na \"b\" c");
  }
  EXPECT_EQ(spawnDetached({"karvelo-no-such-program"}), ENOENT);
  EXPECT_EQ(spawnDetached({(temp.path / "missing").string()}), ENOENT);
  const fs::path plain = temp.write("plain", "not a program");
  EXPECT_EQ(spawnDetached({plain.string()}), EACCES);
  EXPECT_EQ(spawnDetached({}), EINVAL);
  EXPECT_TRUE(noChildLeft());
}

TEST(PosixServices, ShellOpenHandsTheAddressToTheDesktopOpener) {
  TempFolder temp;
  for (const char* opener : {"xdg-open", "open"}) {
    const fs::path script = temp.write(opener, "#!/bin/sh\nprintf '%s|' \"$@\" >&9\n");
    fs::permissions(script, fs::perms::owner_all);
  }
  const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", temp.path.c_str(), 1);
  Report report;
  PosixShellOpen shell;
  shell.open(0x77, "print", "http://www.karvelo.example", std::nullopt, std::nullopt, 0);
  shell.open(0x77, "Open", "http://www.karvelo.example", std::nullopt, std::nullopt, 0);
  ::setenv("PATH", savedPath.c_str(), 1);
  EXPECT_EQ(report.collect(), "http://www.karvelo.example|");
  EXPECT_TRUE(noChildLeft());
}

TEST(PosixServices, EmptyRegistryMakesTheLauncherShowItsMessage) {
  karvelo::fakes::FakeServices fakes;
  PosixRegistry registry;
  karvelo::about::frmAbout about{fakes.services({.registry = &registry})};
  std::string value = "stale";
  EXPECT_FALSE(about.GetKeyValue(Registry::LocalMachine, "SOFTWARE", "PATH", value));
  EXPECT_EQ(value, "");
  about.StartSysInfo();
  ASSERT_EQ(fakes.messages.shown.size(), 1u);
  EXPECT_EQ(fakes.messages.shown[0].text, "System Information Is Unavailable At This Time");
  EXPECT_TRUE(fakes.processes.starts.empty());
}

TEST(PosixServices, NormalFileTestTakesPlainFilesOnly) {
  TempFolder temp;
  PosixFileSystem files;
  const fs::path file = temp.write("MSINFO32.EXE", "x");
  const fs::path readOnly = temp.write("readonly.txt", "x");
  fs::permissions(readOnly, fs::perms::owner_read);
  temp.write(".hidden", "x");
  fs::create_directory(temp.path / "folder");
  fs::create_symlink(file, temp.path / "link");
  fs::create_directory_symlink(temp.path / "folder", temp.path / "folderlink");

  EXPECT_TRUE(files.isNormalFile(file.string()));
  EXPECT_TRUE(files.isNormalFile(readOnly.string()));
  EXPECT_TRUE(files.isNormalFile((temp.path / "link").string()));
  EXPECT_FALSE(files.isNormalFile((temp.path / ".hidden").string()));
  EXPECT_FALSE(files.isNormalFile((temp.path / "folder").string()));
  EXPECT_FALSE(files.isNormalFile((temp.path / "folderlink").string()));
  EXPECT_FALSE(files.isNormalFile((temp.path / "missing").string()));
  EXPECT_FALSE(files.isNormalFile(file.string() + "/"));
  EXPECT_FALSE(files.isNormalFile(""));
}
