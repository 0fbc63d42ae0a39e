// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window/Form1Fixture.h"

#include "forms/RuntimeError.h"
#include "resize_job/Module1.h"

#include <cmath>

using namespace karvelo;
using namespace karvelo::forms;
using karvelo::resize_job::Module1;
using karvelo::testing::Form1Fixture;
using Names = std::vector<std::string>;

TEST_F(Form1Fixture, ListFolderFilesAppendsTheFolderFilesToList1) {
  fake.files.folders["C:\\Photos"] = {"b.JPG", "a.png", "notes.txt"};
  fake.files.folders["C:\\Empty"] = {};
  form.List1.AddItem("kept.jpg");
  form.module1.ListFolderFiles("C:\\Photos");
  EXPECT_EQ(entries(form.List1), (Names{"a.png", "b.JPG", "kept.jpg", "notes.txt"}));
  form.module1.ListFolderFiles("C:\\Empty");
  EXPECT_EQ(form.List1.ListCount(), 4);
  EXPECT_EQ(form.List2.ListCount(), 0);
  EXPECT_THROW(form.module1.ListFolderFiles("C:\\Missing"), RuntimeError);
  EXPECT_THROW(form.module1.ListFolderFiles(""), RuntimeError);
}

TEST_F(Form1Fixture, ProgressBarShowsRoundedPercentCentredOnTheDigits) {
  // Fixed metrics: 90 twips a character, 270 a line. The bar's inner size is 7815 x 315.
  ASSERT_EQ(form.picProgress.ScaleWidth(), 7815);
  ASSERT_EQ(form.picProgress.ScaleHeight(), 315);
  form.picProgress.setVisible(false);
  form.picProgressSlide.setVisible(false);
  int refreshes = 0;
  form.picProgressSlide.changed.connect([&](Property p) { refreshes += p == Property::Drawing; });

  const char* expected[] = {"12%", "25%", "38%", "50%", "62%", "75%", "88%", "100%"};
  for (int started = 1; started <= 8; ++started) {
    SCOPED_TRACE(started);
    const auto fraction = static_cast<float>(static_cast<double>(started) / 8);
    Module1::UpdateProgressBar(fraction, form);
    const std::string text = expected[started - 1];
    // (7815 - 180) / 2 = 3817.5 -> 3818; (7815 - 270) / 2 = 3772.5 -> 3772; (315 - 270) / 2 -> 22.
    const int x = text.size() == 3 ? 3818 : 3772;
    ASSERT_EQ(form.picProgress.drawing().size(), 1u);
    ASSERT_EQ(form.picProgressSlide.drawing().size(), 1u);
    EXPECT_EQ(form.picProgress.drawing()[0],
              (PrintedText{x, 22, text, 0x8000000Du, form.picProgress.Font()}));
    EXPECT_EQ(form.picProgressSlide.drawing()[0],
              (PrintedText{x, 22 - 45, text, 0x8000000Eu, form.picProgressSlide.Font()}));
    EXPECT_EQ(form.picProgressSlide.geometry(),
              (Rect{0, 0, static_cast<int>(std::nearbyint(fraction * 7815.0f)), 315}));
  }
  EXPECT_EQ(form.picProgressSlide.Width(), 7815);
  EXPECT_TRUE(form.picProgress.Visible());
  EXPECT_TRUE(form.picProgressSlide.Visible());
  EXPECT_EQ(refreshes, 8);

  const char* thirds[] = {"33%", "67%", "100%"};
  for (int started = 1; started <= 3; ++started) {
    Module1::UpdateProgressBar(static_cast<float>(started / 3.0), form);
    EXPECT_EQ(form.picProgress.drawing().at(0).text, thirds[started - 1]);
  }

  // A window without the two boxes.
  Form bare{"Bare", "Bare", 1000, 1000};
  EXPECT_THROW(Module1::UpdateProgressBar(0.5f, bare), RuntimeError);
  EXPECT_THROW(Module1::InitProgressBar(bare), RuntimeError);
}
