// SPDX-License-Identifier: GPL-3.0-or-later
// The main road from the user's side: list a folder, choose pictures, press Resize, and the
// converter started once per picture writes the resized pictures.

#include "converter/TestPictures.h"
#include "fakes/FakeServices.h"
#include "main_window/Form1.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProcesses.h"
#include "platform/posix/PosixRunOutcomes.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace karvelo {
namespace {

namespace fs = std::filesystem;
using namespace converter;
using namespace converter::testing;

// The real process start, with the build's folder of multiconv as the program's folder.
class ProcessesBesideConverter final : public platform::Processes {
 public:
  void start(const std::string& commandLine, int windowStyle) override {
    real_.start(commandLine, windowStyle);
  }
  std::string programFolder() const override { return MULTICONV_FOLDER; }

 private:
  platform::PosixProcesses real_;
};

class ResizeEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "karvelo resize XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root = pattern;
    source = root / "my pictures";
    dest = root / "small ones";
    fs::create_directories(source);
    fs::create_directories(dest);
    const std::array<Rgb, 4> colors{red, green, blue, white};
    Picture picture;
    picture.image = quadrants({400, 300}, colors);
    writePicture(source / "Beach.jpg", picture, PictureFormat::Jpeg);
    picture.image = quadrants({200, 100}, colors);
    writePicture(source / "dune.png", picture, PictureFormat::Png);
    std::ofstream(source / "notes.txt") << "not a picture";
    form.decimalSeparator = '.';
    form.load();
  }
  void TearDown() override { fs::remove_all(root); }

  // Lists the source folder and moves every entry to the chosen list.
  void chooseEverything() {
    form.lblPicFolder.setCaption(source.string());
    form.cmdRefresh_Click();
    form.lblPicFolderDest.setCaption(dest.string());
    form.SelectAll_Click();
    form.cmdAdd_Click();
  }

  // The pixel size of a picture once a converter has put it in place.
  static PixelSize sizeOnceWritten(const fs::path& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!fs::exists(path) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!fs::exists(path)) return {};
    return readPicture(path).image.size;
  }

  fs::path root, source, dest;
  fakes::FakeServices fakes;
  platform::PosixFileSystem files;
  ProcessesBesideConverter processes;
  main_window::Form1 form{fakes.services({.processes = &processes, .files = &files})};
};

TEST_F(ResizeEndToEnd, WidthWithPrefixAndSuffixWritesEveryPictureAndNothingForOtherFiles) {
  chooseEverything();
  ASSERT_EQ(form.List2.ListCount(), 3);
  form.opt3.click();
  form.txtWidth.setText("100");
  form.txtSuffix.setText("small");
  form.cmdResize.click();

  EXPECT_TRUE(fakes.messages.shown.empty());
  EXPECT_EQ(form.MousePointer(), forms::pointer::Default);
  EXPECT_EQ(sizeOnceWritten(dest / "tBeach-small.jpg"), (PixelSize{100, 75}));
  EXPECT_EQ(sizeOnceWritten(dest / "tdune-small.png"), (PixelSize{100, 50}));
  // The text file's converter fails; give it the same time, then nothing may stand for it.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(fs::exists(dest / "tnotes-small.txt"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dest), fs::directory_iterator()), 2);
}

TEST_F(ResizeEndToEnd, RatioWithOverwriteWritesTheSourceNamesIntoTheDestination) {
  chooseEverything();
  form.List2.RemoveItem(form.List2.ListCount() - 1);  // notes.txt
  form.opt1.click();
  form.cmbRatio.setText("50 %");
  form.chkOverwrite.click();
  form.cmdResize.click();

  EXPECT_EQ(form.cmbRatio.Text(), "50");
  EXPECT_EQ(sizeOnceWritten(dest / "Beach.jpg"), (PixelSize{200, 150}));
  EXPECT_EQ(sizeOnceWritten(dest / "dune.png"), (PixelSize{100, 50}));
  // The sources are untouched.
  EXPECT_EQ(readPicture(source / "Beach.jpg").image.size, (PixelSize{400, 300}));
}

// The windows' thread of a test: tasks posted from any thread wait until the test runs them.
class PostedTasks final : public platform::Application {
 public:
  void show(forms::Form&) override {}
  void end() override {}
  void post(forms::Form&, std::function<void()> task) override {
    const std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    posted_.notify_one();
  }
  // Runs the first task posted, waiting for it at most `limit`; false when none came.
  bool runNext(std::chrono::seconds limit) {
    std::unique_lock lock(mutex_);
    if (!posted_.wait_for(lock, limit, [this] { return !tasks_.empty(); })) return false;
    const std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
};

// Resize with the real outcome channels: the run's end names what failed.
class RunOutcomesEndToEnd : public ResizeEndToEnd {
 protected:
  void SetUp() override {
    ResizeEndToEnd::SetUp();
    ::setenv("XDG_STATE_HOME", (root / "state").c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("XDG_STATE_HOME");
    ::unsetenv("MULTICONV_TEST_KILL_SOURCE");
    ResizeEndToEnd::TearDown();
  }

  platform::PosixProcesses starter{MULTICONV_FOLDER};
  platform::PosixRunOutcomes outcomes{starter};
  PostedTasks windowsThread;
  main_window::Form1 watched{fakes.services(
      {.processes = &starter, .files = &files, .application = &windowsThread,
       .outcomes = &outcomes})};
};

TEST_F(RunOutcomesEndToEnd, TheEndOfARunNamesEachPictureThatFailedWithItsReason) {
  fs::remove_all(source);
  fs::create_directories(source);
  writePicturesThatPartlyFail(source, dest);
  ::setenv("MULTICONV_TEST_KILL_SOURCE", (source / "killed.jpg").c_str(), 1);

  watched.decimalSeparator = '.';
  watched.load();
  watched.lblPicFolder.setCaption(source.string());
  watched.cmdRefresh_Click();
  watched.lblPicFolderDest.setCaption(dest.string());
  watched.SelectAll_Click();
  watched.cmdAdd_Click();
  watched.opt3.click();
  watched.txtWidth.setText("60");
  watched.cmdResize.click();
  // A program started meanwhile (as a web page is opened) holds nothing of the run: the run ends
  // long before it does. (It lets go of the test's output, which the test runner waits for.)
  ASSERT_EQ(platform::spawnDetached({"sh", "-c", "exec sleep 40 >/dev/null 2>&1"}), 0);

  ASSERT_TRUE(windowsThread.runNext(std::chrono::seconds(20)));
  ASSERT_EQ(fakes.messages.shown.size(), 1U);
  EXPECT_EQ(fakes.messages.shown[0].title, "Karvelo");
  EXPECT_EQ(fakes.messages.shown[0].style, 48);
  EXPECT_EQ(fakes.messages.shown[0].text,
            partlyFailedMessage((root / "state" / "karvelo" / "multiconv.log").string()));
  for (const char* name : {"ta.jpg", "tb.jpg", "tc.jpg"}) {
    EXPECT_EQ(readPicture(dest / name).image.size, (PixelSize{60, 40})) << name;
  }

  // A run of good pictures ends without a word.
  fs::remove_all(dest);
  fs::create_directories(dest);
  while (watched.List2.ListCount() > 3) {  // cut.png, exists.jpg, killed.jpg and note.jpg go
    watched.List2.RemoveItem(watched.List2.ListCount() - 1);
  }
  watched.cmdResize.click();
  ASSERT_TRUE(windowsThread.runNext(std::chrono::seconds(60)));
  EXPECT_EQ(fakes.messages.shown.size(), 1U);
  EXPECT_TRUE(fs::exists(dest / "tc.jpg"));
}

TEST_F(RunOutcomesEndToEnd, ARunOf32767FilesEndsAndCountsEveryFailure) {
  platform::PosixProcesses standIn{STANDIN_FOLDER};
  platform::PosixRunOutcomes reports{standIn};
  main_window::Form1 full{fakes.services(
      {.processes = &standIn, .files = &files, .application = &windowsThread,
       .outcomes = &reports})};
  full.decimalSeparator = '.';
  full.load();
  full.lblPicFolder.setCaption(source.string());
  full.lblPicFolderDest.setCaption(dest.string());
  char name[16];
  for (int i = 0; i < 32767; ++i) {
    std::snprintf(name, sizeof name, "%05d.jpg", i);
    full.List2.AddItem(name);
  }
  full.opt2.setValue(true);
  full.txtHeight.setText("480");
  full.cmdResize.click();
  ASSERT_TRUE(windowsThread.runNext(std::chrono::seconds(240)));
  ASSERT_EQ(fakes.messages.shown.size(), 1U);
  // Every name ending in 7 failed: 3276 of them.
  EXPECT_TRUE(fakes.messages.shown[0].text.starts_with(
      "3276 of 32767 pictures were not resized:\n00007.jpg: damaged picture\n"))
      << fakes.messages.shown[0].text.substr(0, 200);
  EXPECT_NE(fakes.messages.shown[0].text.find("00097.jpg: damaged picture\n... and 3266 more\n"),
            std::string::npos);
}

}  // namespace
}  // namespace karvelo
