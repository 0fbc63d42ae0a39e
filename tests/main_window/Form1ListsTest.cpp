// SPDX-License-Identifier: GPL-3.0-or-later
#include "Form1Fixture.h"

using namespace karvelo;
using namespace karvelo::forms;
using karvelo::main_window::Form1;
using karvelo::testing::Form1Fixture;
using Names = std::vector<std::string>;

TEST_F(Form1Fixture, MoveTakesTheSelectedEntriesToTheirSortedPlacesWithTheirItemData) {
  fill(form.List1, {"a", "b", "c", "d"});
  fill(form.List2, {"a2", "c2", "e"});
  form.List2.setSelected(0, true);  // entries already in the target keep their selection
  form.List1.setItemData(1, 70000);
  form.List1.setItemData(3, -4);
  form.List1.setSelected(1, true);
  form.List1.setSelected(3, true);

  form.cmdAdd.click();

  EXPECT_EQ(entries(form.List1), (Names{"a", "c"}));
  EXPECT_EQ(entries(form.List2), (Names{"a2", "b", "c2", "d", "e"}));
  EXPECT_EQ(selectedEntries(form.List2), (Names{"a2"}));
  EXPECT_EQ(form.List2.ItemData(1), 70000);
  EXPECT_EQ(form.List2.ItemData(3), -4);

  // And back: the item data travels again.
  form.List2.setSelected(0, false);
  form.List2.setSelected(3, true);
  form.cmdRemove.click();
  EXPECT_EQ(entries(form.List1), (Names{"a", "c", "d"}));
  EXPECT_EQ(form.List1.ItemData(2), -4);
  EXPECT_TRUE(selectedEntries(form.List1).empty());
}

TEST_F(Form1Fixture, MoveAddsDuplicatesAndDoesNothingWithoutASelection) {
  fill(form.List1, {"a.jpg", "b.jpg"});
  fill(form.List2, {"a.jpg"});
  form.cmdAdd.click();
  EXPECT_EQ(entries(form.List1), (Names{"a.jpg", "b.jpg"}));
  EXPECT_EQ(entries(form.List2), (Names{"a.jpg"}));

  form.List1.setSelected(0, true);
  form.cmdAdd.click();
  EXPECT_EQ(entries(form.List1), (Names{"b.jpg"}));
  EXPECT_EQ(entries(form.List2), (Names{"a.jpg", "a.jpg"}));

  form.List1.Clear();
  form.List2.Clear();
  form.cmdAdd.click();  // empty lists
  form.cmdRemove.click();
  EXPECT_EQ(form.List1.ListCount() + form.List2.ListCount(), 0);
}

TEST_F(Form1Fixture, SelectAllAndDeselectAllActOnTheirOwnListOnly) {
  form.SelectAll.click();  // empty list: nothing happens
  form.DeselectAll2.click();
  EXPECT_EQ(form.List1.ListCount(), 0);

  fill(form.List1, {"x", "y", "z"});
  fill(form.List2, {"p", "q"});
  form.SelectAll.click();
  EXPECT_EQ(selectedEntries(form.List1), (Names{"x", "y", "z"}));
  EXPECT_TRUE(selectedEntries(form.List2).empty());
  form.SelectAll2.click();
  form.deselectall.click();
  EXPECT_TRUE(selectedEntries(form.List1).empty());
  EXPECT_EQ(selectedEntries(form.List2), (Names{"p", "q"}));
  form.DeselectAll2.click();
  EXPECT_TRUE(selectedEntries(form.List2).empty());

  // Select all, then move: the source list ends empty.
  form.SelectAll.click();
  form.cmdAdd.click();
  EXPECT_EQ(form.List1.ListCount(), 0);
  EXPECT_EQ(entries(form.List2), (Names{"p", "q", "x", "y", "z"}));
}

TEST_F(Form1Fixture, MoveStopsQuietlyWhenTheTargetListIsFull) {
  for (int i = 0; i < forms::ListBox::MaxEntries - 1; ++i) form.List2.AddItem(std::to_string(i));
  fill(form.List1, {"a", "b", "c"});
  form.SelectAll.click();
  EXPECT_NO_THROW(form.cmdAdd.click());
  EXPECT_EQ(form.List2.ListCount(), forms::ListBox::MaxEntries);
  EXPECT_EQ(selectedEntries(form.List1), (Names{"a", "b"}));
}

TEST(Form1MakeLong, PacksTheSixteenBitPatternsOfLowAndHigh) {
  static_assert(Form1::MakeLong(0, 5) == 5 * 65536);
  EXPECT_EQ(Form1::MakeLong(-1, 0), 65535);
  EXPECT_EQ(static_cast<std::uint32_t>(Form1::MakeLong(0, -1)), 0xFFFF0000u);
  EXPECT_EQ(Form1::MakeLong(-1, -1), -1);
  EXPECT_EQ(Form1::MakeLong(0x1234, 0x7FFF), 0x7FFF1234);
  EXPECT_EQ(static_cast<std::uint32_t>(Form1::MakeLong(-32768, -32768)), 0x80008000u);
}

TEST_F(Form1Fixture, RefreshRelistsTheSourceFolderAndDropsTheChosenFiles) {
  fake.files.folders["C:\\Photos"] = {"b.JPG", "a.png", "notes.txt"};
  form.lblPicFolder.setCaption("C:\\Photos");
  form.lblPicFolderDest.setCaption("C:\\Elsewhere");
  fill(form.List1, {"old.jpg"});
  fill(form.List2, {"chosen.jpg"});

  form.chkSource.setValue(CheckBox::Unchecked);
  form.cmdRefresh_Click();
  EXPECT_EQ(entries(form.List1), (Names{"a.png", "b.JPG", "notes.txt"}));
  EXPECT_EQ(form.List1.ItemData(1), 0);
  EXPECT_EQ(form.List2.ListCount(), 0);
  EXPECT_EQ(form.lblPicFolderDest.Caption(), "C:\\Elsewhere");

  form.chkSource.setValue(CheckBox::Checked);
  form.cmdRefresh_Click();
  EXPECT_EQ(form.List1.ListCount(), 3);
  EXPECT_EQ(form.lblPicFolderDest.Caption(), "C:\\Photos");

  // A folder that can no longer be listed leaves both lists empty and ends quietly.
  form.lblPicFolder.setCaption("C:\\Gone");
  form.lblPicFolderDest.setCaption("C:\\Small");
  fill(form.List2, {"chosen.jpg"});
  EXPECT_NO_THROW(form.cmdRefresh_Click());
  EXPECT_EQ(form.List1.ListCount() + form.List2.ListCount(), 0);
  EXPECT_EQ(form.lblPicFolderDest.Caption(), "C:\\Small");
  EXPECT_TRUE(fake.messages.shown.empty());
}
