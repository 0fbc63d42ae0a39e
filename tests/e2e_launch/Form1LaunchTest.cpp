// SPDX-License-Identifier: GPL-3.0-or-later
// Resize on the main window with the real process start: the stand-in converter in a program
// folder with a blank in its name records every command line it was started with.

#include "LaunchTest.h"
#include "fakes/FakeServices.h"
#include "main_window/Form1.h"
#include "platform/posix/PosixFileSystem.h"

namespace karvelo::platform {
namespace {

// The real process start, with the test's folder standing for the program's folder.
class ProcessesInFolder final : public Processes {
 public:
  explicit ProcessesInFolder(std::string folder) : folder_(std::move(folder)) {}
  void start(const std::string& commandLine, int windowStyle) override {
    real_.start(commandLine, windowStyle);
  }
  std::string programFolder() const override { return folder_; }

 private:
  PosixProcesses real_;
  std::string folder_;
};

TEST_F(LaunchTest, ResizeStartsTheConverterForEveryChosenFileInListOrder) {
  const fs::path source = folder / "my pictures";
  fs::create_directory(source);
  for (const char* name : {"beach.jpg", "Alps 2.png", "cat.gif", "dune.jpg"}) {
    std::ofstream(source / name) << "picture";
  }
  ProcessesInFolder processes(folder.string());
  PosixFileSystem files;
  fakes::FakeServices fakes;
  main_window::Form1 form(fakes.services({.processes = &processes, .files = &files}));
  form.decimalSeparator = '.';
  form.load();

  form.lblPicFolder.setCaption(source.string());
  form.cmdRefresh_Click();
  ASSERT_EQ(form.List1.ListCount(), 4);
  form.List1.setSelected(0, true);  // Alps 2.png
  form.List1.setSelected(1, true);  // beach.jpg
  form.List1.setSelected(3, true);  // dune.jpg
  form.cmdAdd_Click();
  form.opt2.click();
  form.txtHeight.setText("480");
  form.cmdResize_Click();
  EXPECT_TRUE(fakes.messages.shown.empty());

  const std::string program = (folder / "multiconv").string();
  std::vector<Args> expected;
  for (const char* name : {"Alps 2.png", "beach.jpg", "dune.jpg"}) {
    expected.push_back({program, "/s:" + (source / name).string(), "/d:" + source.string(), "/m:hr",
                        "/h:480", "/pre:t"});
  }
  EXPECT_EQ(records(expected.size()), expected);
  EXPECT_EQ(form.MousePointer(), forms::pointer::Default);
}

}  // namespace
}  // namespace karvelo::platform
