// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "about/frmAbout.h"
#include "fakes/FakeServices.h"
#include "forms/RuntimeError.h"

using karvelo::RuntimeError;
using karvelo::about::frmAbout;
using karvelo::fakes::FakeRegistry;
using karvelo::fakes::FakeServices;
using karvelo::platform::Registry;
using Start = karvelo::fakes::FakeProcesses::Start;
using Shown = karvelo::fakes::FakeMessageBoxes::Shown;

namespace {

const std::string PathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string FolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const Shown Unavailable{"System Information Is Unavailable At This Time", 0, "Karvelo"};

struct SysInfo : ::testing::Test {
  FakeServices fakes;
  frmAbout about{fakes.services()};
  // Command lines that cannot be started, besides the empty one.
  std::set<std::string> failing;

  SysInfo() {
    fakes.processes.onStart = [this](const std::string& commandLine) {
      if (commandLine.empty() || failing.count(commandLine)) {
        throw RuntimeError(RuntimeError::FileNotFound, "cannot start " + commandLine);
      }
    };
  }

  std::vector<std::string> openedKeys() const {
    std::vector<std::string> keys;
    for (const auto& open : fakes.registry.opens) keys.push_back(open.subKey);
    return keys;
  }
};

}  // namespace

TEST_F(SysInfo, FirstLocationIsStartedAsItStandsAndTrustedEvenWhenTheStartFails) {
  fakes.registry.set(PathKey, "PATH", FakeRegistry::text("C:\\Sys\\msinfo32.exe"));
  fakes.registry.set(FolderKey, "MSINFO", FakeRegistry::text("C:\\Other"));
  fakes.files.normalFiles.insert("C:\\Other\\MSINFO32.EXE");
  about.StartSysInfo();
  EXPECT_EQ(fakes.processes.starts, (std::vector<Start>{{"C:\\Sys\\msinfo32.exe", 1}}));
  EXPECT_TRUE(fakes.messages.shown.empty());
  EXPECT_TRUE(fakes.files.tested.empty());
  EXPECT_EQ(openedKeys(), std::vector<std::string>{PathKey});
  EXPECT_EQ(fakes.registry.opens[0],
            (FakeRegistry::Open{Registry::LocalMachine, PathKey, 0, 0x2003F}));
  EXPECT_TRUE(fakes.registry.openKeys.empty()) << "every opened key is closed";

  // The file the first location names is missing: the start fails and the message follows; the
  // second location is still not consulted.
  failing.insert("C:\\Sys\\msinfo32.exe");
  fakes.registry.opens.clear();
  about.StartSysInfo();
  EXPECT_EQ(fakes.processes.starts.size(), 1u);
  EXPECT_EQ(fakes.messages.shown, std::vector<Shown>{Unavailable});
  EXPECT_EQ(openedKeys(), std::vector<std::string>{PathKey});
}

TEST_F(SysInfo, SecondLocationIsAFolderThatMustHoldTheTool) {
  fakes.registry.set(FolderKey, "MSINFO", FakeRegistry::text("C:\\Sys"));
  about.StartSysInfo();  // the folder lacks the tool
  EXPECT_EQ(fakes.files.tested, std::vector<std::string>{"C:\\Sys\\MSINFO32.EXE"});
  EXPECT_TRUE(fakes.processes.starts.empty());
  EXPECT_EQ(fakes.messages.shown, std::vector<Shown>{Unavailable});
  EXPECT_EQ(openedKeys(), (std::vector<std::string>{PathKey, FolderKey}));

  fakes.files.normalFiles.insert("C:\\Sys\\MSINFO32.EXE");
  about.StartSysInfo();
  EXPECT_EQ(fakes.processes.starts, (std::vector<Start>{{"C:\\Sys\\MSINFO32.EXE", 1}}));
  EXPECT_EQ(fakes.messages.shown.size(), 1u);

  // A closing backslash is kept: the path then has two in a row, tested and started so.
  fakes.registry.set(FolderKey, "MSINFO", FakeRegistry::text("D:\\"));
  fakes.files.normalFiles.insert("D:\\\\MSINFO32.EXE");
  about.StartSysInfo();
  EXPECT_EQ(fakes.files.tested.back(), "D:\\\\MSINFO32.EXE");
  EXPECT_EQ(fakes.processes.starts.back(), (Start{"D:\\\\MSINFO32.EXE", 1}));
  EXPECT_EQ(fakes.messages.shown.size(), 1u);
}

TEST_F(SysInfo, NothingFoundShowsTheOneMessageAndClosesWhatItOpened) {
  about.StartSysInfo();
  EXPECT_EQ(fakes.messages.shown, std::vector<Shown>{Unavailable});
  EXPECT_TRUE(fakes.processes.starts.empty());
  // Both failed opens still close, with the handle that was never set.
  EXPECT_EQ(fakes.registry.closes, (std::vector<Registry::Key>{0, 0}));

  // A key without the value: the opened key is closed after the failed query.
  fakes.registry.set(PathKey, "OTHER", FakeRegistry::text("x"));
  std::string value = "stale";
  EXPECT_FALSE(about.GetKeyValue(Registry::LocalMachine, PathKey, "PATH", value));
  EXPECT_EQ(value, "");
  EXPECT_EQ(fakes.registry.closes.back(), fakes.registry.nextHandle - 1);
  EXPECT_TRUE(fakes.registry.openKeys.empty());
}

TEST_F(SysInfo, ValueBytesBecomeTextByTheTerminatorRule) {
  const auto read = [&](FakeRegistry::Value stored, bool* result = nullptr) {
    fakes.registry.set(PathKey, "PATH", std::move(stored));
    std::string value;
    const bool ok = about.GetKeyValue(Registry::LocalMachine, PathKey, "PATH", value);
    if (result) *result = ok;
    return value;
  };
  bool ok = false;
  EXPECT_EQ(read(FakeRegistry::text("C:\\msinfo32.exe", true), &ok), "C:\\msinfo32.exe");
  EXPECT_TRUE(ok);
  EXPECT_EQ(read(FakeRegistry::text("C:\\msinfo32.exe", false)), "C:\\msinfo32.exe");
  // Each byte is the code page's character (the fake's is Latin-1).
  EXPECT_EQ(read(FakeRegistry::text("C:\\Caf\xE9")), "C:\\Caf\u00E9");
  // Only the last byte is looked at: a zero inside stays.
  EXPECT_EQ(read(FakeRegistry::text(std::string("ab\0cd", 5), true)), std::string("ab\0cd", 5));
  // Exactly the buffer, without a terminator: all of it.
  EXPECT_EQ(read(FakeRegistry::text(std::string(1024, 'x'), false)), std::string(1024, 'x'));
  // Longer than the buffer: not read.
  EXPECT_EQ(read(FakeRegistry::text(std::string(1024, 'x'), true), &ok), "");
  EXPECT_FALSE(ok);
  // Types other than text and DWORD leave the value as it was and still count as read.
  EXPECT_EQ(
      read(FakeRegistry::text("%SystemRoot%\\msinfo32.exe", true, Registry::TypeExpandString), &ok),
      "");
  EXPECT_TRUE(ok);
  // A DWORD in hexadecimal, most significant byte first; the dropped zero is a leading one.
  EXPECT_EQ(read({Registry::TypeDword, {0x2A, 0x01, 0x00, 0x00}}), "&h00012A");
  EXPECT_EQ(read({Registry::TypeDword, {0x78, 0x56, 0x34, 0x12}}), "&h12345678");
  EXPECT_TRUE(fakes.registry.openKeys.empty());
}

TEST_F(SysInfo, OddValuesEndInTheMessage) {
  // A REG_EXPAND_SZ path reads as empty; starting the empty path fails.
  fakes.registry.set(
      PathKey, "PATH",
      FakeRegistry::text("%SystemRoot%\\msinfo32.exe", true, Registry::TypeExpandString));
  about.StartSysInfo();
  EXPECT_EQ(fakes.messages.shown, std::vector<Shown>{Unavailable});
  EXPECT_EQ(openedKeys(), std::vector<std::string>{PathKey});

  // Data of length 0 is a failure inside GetKeyValue that reaches StartSysInfo's trap; the key
  // is closed on the way out.
  fakes.registry.set(PathKey, "PATH", FakeRegistry::Value{Registry::TypeString, {}});
  std::string value;
  EXPECT_THROW(about.GetKeyValue(Registry::LocalMachine, PathKey, "PATH", value), RuntimeError);
  EXPECT_TRUE(fakes.registry.openKeys.empty());
  about.StartSysInfo();
  EXPECT_EQ(fakes.messages.shown, (std::vector<Shown>{Unavailable, Unavailable}));
  EXPECT_TRUE(fakes.processes.starts.empty());
  EXPECT_TRUE(fakes.registry.openKeys.empty());
}
