// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window/Form1Fixture.h"
#include "platform/PathStyle.h"

#include <cstdio>
#include <new>

using namespace karvelo;
using namespace karvelo::forms;
using karvelo::fakes::FakeMessageBoxes;
using Names = std::vector<std::string>;

namespace {

// The main window with a source and destination folder chosen, ready to press Resize; records
// the mouse pointers set on the window and what the progress bar shows at each repaint.
struct ResizeFixture : karvelo::testing::Form1Fixture {
  ResizeFixture() {
    fake.processes.folder = "/opt/karvelo";
    form.changed.connect([this](Property p) {
      if (p == Property::MousePointer) pointers.push_back(form.MousePointer());
    });
    form.picProgressSlide.changed.connect([this](Property p) {
      if (p != Property::Drawing) return;
      barTexts.push_back(form.picProgress.drawing().at(0).text);
      slideWidths.push_back(form.picProgressSlide.Width());
    });
  }

  void chooseFolders() {
    form.lblPicFolder.setCaption("/photos");
    form.lblPicFolderDest.setCaption("/small");
  }

  Names startedLines() const {
    Names lines;
    for (const auto& s : fake.processes.starts) lines.push_back(s.commandLine);
    return lines;
  }

  // The converter's start line for a file in /photos, in the paths of the platform built for:
  // the converter in /opt/karvelo, then the source file, the destination and the switches.
  static std::string startLine(const std::string& file, const std::string& switches) {
    constexpr platform::PathStyle paths = platform::nativePaths;
    return "/opt/karvelo" + (paths.separator + std::string(paths.converterName)) +
           R"( /s:"/photos)" + paths.separator + file + R"(" /d:"/small" )" + switches;
  }

  static FakeMessageBoxes::Shown entryError(const char* text) { return {text, 64, "Entry Error"}; }

  std::vector<int> pointers;
  Names barTexts;
  std::vector<int> slideWidths;
};

}  // namespace

TEST_F(ResizeFixture, ChecksRunInOrderAndStopAtTheFirstFailure) {
  fill(form.List2, {"b.jpg", "a.jpg"});
  form.module1.FileCount = 9;
  auto& shown = fake.messages.shown;

  form.cmdResize.click();
  form.lblPicFolder.setCaption(" ");  // a blank is not empty
  form.cmdResize.click();
  // The folder checks come before the select-all and the count.
  EXPECT_TRUE(selectedEntries(form.List2).empty());
  EXPECT_EQ(form.module1.FileCount, 9);

  form.lblPicFolderDest.setCaption(" ");
  form.opt2.setValue(true);
  form.cmdResize.click();  // no value for the height
  EXPECT_EQ(selectedEntries(form.List2), (Names{"a.jpg", "b.jpg"}));
  EXPECT_EQ(form.module1.FileCount, 2);

  form.opt2.setValue(false);
  form.cmdResize.click();  // no method
  form.opt3.setValue(true);
  form.txtHeight.setText("480");  // the height does not count for the width method
  form.txtWidth.setText("6 40");
  form.cmdResize.click();

  form.List2.Clear();
  form.cmdResize.click();  // no files: the count becomes 0 also though the check then fails
  EXPECT_EQ(form.module1.FileCount, 0);

  EXPECT_EQ(shown, (std::vector<FakeMessageBoxes::Shown>{
                       entryError("Please choose a source folder"),
                       entryError("Please choose a destination folder"),
                       entryError("Please enter a valid resize value."),
                       entryError("Please choose a resize method."),
                       entryError("Please enter a valid resize value."),
                       entryError("Please choose at least one file to resize"),
                   }));
  EXPECT_TRUE(fake.processes.starts.empty());
  EXPECT_TRUE(pointers.empty());  // messages leave the pointer alone
  EXPECT_TRUE(barTexts.empty());
}

TEST_F(ResizeFixture, RatioIsCutToTwoCharactersWhichTheDropDownKeeps) {
  chooseFolders();
  fill(form.List2, {"a.jpg"});
  form.opt1.setValue(true);
  form.txtPrefix.setText("");

  form.cmdResize.click();  // "25 %" from the layout
  EXPECT_EQ(form.cmbRatio.Text(), "25");
  form.cmdResize.click();  // reads 25 again
  form.cmbRatio.setText("100 %");
  form.cmdResize.click();
  EXPECT_EQ(form.cmbRatio.Text(), "10");
  form.cmbRatio.setListIndex(2);  // "50 %"
  form.txtSuffix.setText("small");
  form.cmdResize.click();
  EXPECT_EQ(
      startedLines(),
      (Names{startLine("a.jpg", "/m:r /r:0.25"), startLine("a.jpg", "/m:r /r:0.25"),
             startLine("a.jpg", "/m:r /r:0.1"), startLine("a.jpg", "/m:r /r:0.5 /suf:-small")}));

  // Letters: nothing started, no message, the pointer ends as the default; the cut text stays.
  const std::size_t before = fake.processes.starts.size();
  form.cmbRatio.setText("abc");
  form.cmdResize.click();
  EXPECT_EQ(form.cmbRatio.Text(), "ab");
  EXPECT_EQ(fake.processes.starts.size(), before);
  EXPECT_TRUE(fake.messages.shown.empty());
  EXPECT_EQ(form.MousePointer(), pointer::Default);
  EXPECT_EQ(form.picProgress.drawing().at(0).text, "100%");  // the bar keeps the last run
}

TEST_F(ResizeFixture, StartsEveryChosenFileInListOrderAndDrawsTheShareStarted) {
  chooseFolders();
  fill(form.List2, {"c.jpg", "A.jpg", "b.jpg"});
  form.opt3.setValue(true);
  form.txtWidth.setText("640");
  form.chkMaintain.setValue(CheckBox::Grayed);  // grayed counts as not ticked
  std::vector<int> pointerAtStart;
  fake.processes.onStart = [&](const std::string&) {
    pointerAtStart.push_back(form.MousePointer());
  };

  form.cmdResize.click();

  const std::string tail = "/m:w /w:640  /pre:t ";
  EXPECT_EQ(startedLines(),
            (Names{startLine("A.jpg", tail), startLine("b.jpg", tail), startLine("c.jpg", tail)}));
  for (const auto& s : fake.processes.starts) EXPECT_EQ(s.windowStyle, 6);
  EXPECT_EQ(pointerAtStart, (std::vector<int>{11, 11, 11}));
  EXPECT_EQ(pointers, (std::vector<int>{11, 0}));
  EXPECT_EQ(barTexts, (Names{"33%", "67%", "100%"}));
  // The slide's width is the single-precision fraction of the inner width 7815.
  EXPECT_EQ(slideWidths, (std::vector<int>{2605, 5210, 7815}));
  EXPECT_EQ(selectedEntries(form.List2).size(), 3u);
  EXPECT_EQ(form.module1.FileCount, 3);
}

TEST_F(ResizeFixture, AFailedStartEndsTheRunSilentlyWithTheDefaultPointer) {
  chooseFolders();
  fill(form.List2, {"a.jpg"});
  form.opt2.setValue(true);
  form.txtHeight.setText("480");
  form.cmdResize.click();
  ASSERT_EQ(barTexts, (Names{"100%"}));

  // The converter cannot be started at all: the bar keeps what it showed.
  fill(form.List2, {"b.jpg", "c.jpg"});
  fake.processes.starts.clear();
  fake.processes.attempts = 0;
  fake.processes.failAtStart = 1;
  pointers.clear();
  form.cmdResize.click();
  EXPECT_TRUE(fake.processes.starts.empty());
  EXPECT_EQ(pointers, (std::vector<int>{11, 0}));
  EXPECT_EQ(barTexts, (Names{"100%"}));
  EXPECT_EQ(form.picProgress.drawing().at(0).text, "100%");

  // A start that fails at the third file: two started, the bar at their share.
  fake.processes.attempts = 0;
  fake.processes.failAtStart = 3;
  pointers.clear();
  form.cmdResize.click();
  EXPECT_EQ(fake.processes.starts.size(), 2u);
  EXPECT_EQ(pointers, (std::vector<int>{11, 0}));
  EXPECT_EQ(barTexts, (Names{"100%", "33%", "67%"}));
  EXPECT_TRUE(fake.messages.shown.empty());

  // Any other failure (memory running out in a large batch) ends it the same way.
  fake.processes.failAtStart = 0;
  fake.processes.onStart = [](const std::string&) { throw std::bad_alloc(); };
  pointers.clear();
  EXPECT_NO_THROW(form.cmdResize.click());
  EXPECT_EQ(pointers, (std::vector<int>{11, 0}));
  EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(ResizeFixture, AFileNameWithADoubleQuoteIsAFailedStart) {
  chooseFolders();
  fill(form.List2, {"a.jpg", "b\"c.jpg", "d.jpg"});
  form.opt2.setValue(true);
  form.txtHeight.setText("480");
  form.cmdResize.click();
  ASSERT_EQ(fake.processes.starts.size(), 1u);
  EXPECT_EQ(fake.processes.starts[0].commandLine, startLine("a.jpg", "/m:hr /h:480 /pre:t "));
  EXPECT_EQ(pointers, (std::vector<int>{11, 0}));
  EXPECT_EQ(barTexts, (Names{"33%"}));
}

TEST_F(ResizeFixture, AFullListOf32767FilesRunsToTheEnd) {
  chooseFolders();
  char name[16];
  for (int i = 0; i < 32767; ++i) {
    std::snprintf(name, sizeof name, "%05d.jpg", i);
    form.List2.AddItem(name);
  }
  form.opt2.setValue(true);
  form.txtHeight.setText("480");
  form.cmdResize.click();
  EXPECT_EQ(form.module1.FileCount, 32767);
  EXPECT_EQ(fake.processes.starts.size(), 32767u);
  EXPECT_EQ(fake.processes.starts.back().commandLine,
            startLine("32766.jpg", "/m:hr /h:480 /pre:t "));
  EXPECT_EQ(barTexts.back(), "100%");
  EXPECT_EQ(slideWidths.back(), 7815);
  EXPECT_EQ(pointers, (std::vector<int>{11, 0}));
}

TEST_F(ResizeFixture, TheEndOfARunNamesItsFailuresOverTheMainWindowAndAGoodRunSaysNothing) {
  chooseFolders();
  fill(form.List2, {"a.jpg", "b.jpg", "c.jpg"});
  form.opt2.setValue(true);
  form.txtHeight.setText("480");
  // The third start fails: the run of the two started is still watched to its end.
  fake.processes.failAtStart = 3;
  form.cmdResize.click();
  ASSERT_EQ(fake.outcomes.runs.size(), 1u);
  EXPECT_TRUE(fake.outcomes.runs[0]->closed);
  EXPECT_EQ(fake.processes.starts.size(), 2u);
  const std::string sep(1, platform::nativePaths.separator);
  fake.outcomes.end(0, {{"/photos" + sep + "a.jpg", 0, ""}, {"/photos" + sep + "b.jpg", 5, "x"}});
  EXPECT_EQ(fake.application.postedFor, (std::vector<forms::Form*>{&form}));
  ASSERT_EQ(fake.messages.shown.size(), 1u);
  EXPECT_EQ(fake.messages.shown[0],
            (FakeMessageBoxes::Shown{"1 of 2 pictures were not resized:\n"
                                     "b.jpg: damaged picture\n"
                                     "\nThe converter's log: " + fake.outcomes.log,
                                     48, "Karvelo"}));

  // Every picture resized: nothing is shown.
  fake.processes.failAtStart = 0;
  fake.processes.attempts = 0;
  form.cmdResize.click();
  fake.outcomes.end(1, {{"/photos" + sep + "a.jpg", 0, ""},
                        {"/photos" + sep + "b.jpg", 0, ""},
                        {"/photos" + sep + "c.jpg", 0, ""}});
  EXPECT_EQ(fake.messages.shown.size(), 1u);

  // Where the system gives no channel, the converters are started all the same.
  fake.outcomes.available = false;
  fake.processes.starts.clear();
  form.cmdResize.click();
  EXPECT_EQ(fake.processes.starts.size(), 3u);
  EXPECT_EQ(fake.outcomes.runs.size(), 2u);
}
