// The main road from the user's side: list a folder, choose pictures, press Resize, and the
// converter started once per picture writes the resized pictures.

#include "converter/TestPictures.h"
#include "fakes/FakeServices.h"
#include "main_window/Form1.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProcesses.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
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

}  // namespace
}  // namespace karvelo
