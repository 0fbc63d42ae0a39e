// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/Form.h"
#include "forms/ListBox.h"
#include "forms/RuntimeError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace karvelo;
using namespace karvelo::forms;

namespace {

std::vector<std::string> texts(const ListBox& list) {
  std::vector<std::string> out;
  for (int i = 0; i < list.ListCount(); ++i) out.push_back(list.List(i));
  return out;
}

struct ListFixture : ::testing::Test {
  Form form{"Test", "Test", 1000, 1000};
  ListBox list{form, nullptr, "List1", {0, 0, 100, 100}};
};

}  // namespace

TEST_F(ListFixture, KeepsEntriesSortedIgnoringCaseAndReportsNewIndex) {
  list.AddItem("notes.txt");
  EXPECT_EQ(list.NewIndex(), 0);
  list.AddItem("b.JPG");
  EXPECT_EQ(list.NewIndex(), 0);
  list.AddItem("a.png");
  EXPECT_EQ(list.NewIndex(), 0);
  list.AddItem("B.jpg");  // equal ignoring case: goes after the one already there
  EXPECT_EQ(list.NewIndex(), 2);
  EXPECT_EQ(texts(list), (std::vector<std::string>{"a.png", "b.JPG", "B.jpg", "notes.txt"}));
  EXPECT_EQ(list.ItemData(2), 0);
  EXPECT_FALSE(list.Selected(2));
}

TEST_F(ListFixture, ItemDataAndSelectionStayWithTheirEntryAsOthersComeAndGo) {
  list.AddItem("m");
  list.setItemData(list.NewIndex(), -7);
  list.setSelected(0, true);
  list.AddItem("a");
  list.AddItem("z");
  EXPECT_EQ(list.List(1), "m");
  EXPECT_EQ(list.ItemData(1), -7);
  EXPECT_TRUE(list.Selected(1));
  list.RemoveItem(0);
  EXPECT_EQ(list.List(0), "m");
  EXPECT_EQ(list.ItemData(0), -7);
  EXPECT_THROW(list.List(5), RuntimeError);
  EXPECT_THROW(list.RemoveItem(-1), RuntimeError);
}

TEST_F(ListFixture, SelItemRangeIsLimitedToTheEntriesThatExist) {
  for (const char* t : {"a", "b", "c"}) list.AddItem(t);
  // low word 0, high word the count: one past the last entry
  EXPECT_EQ(list.sendMessage(ListBox::LB_SELITEMRANGE, 1, 3 << 16), 0);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(list.Selected(i));
  list.sendMessage(ListBox::LB_SELITEMRANGE, 0, (1 << 16) | 1);
  EXPECT_TRUE(list.Selected(0));
  EXPECT_FALSE(list.Selected(1));
  EXPECT_TRUE(list.Selected(2));
  EXPECT_EQ(list.sendMessage(0x1234, 0, 0), -1);

  ListBox empty{form, nullptr, "List2", {}};
  int notifications = 0;
  empty.listChanged.connect([&](const ListChange&) { ++notifications; });
  empty.sendMessage(ListBox::LB_SELITEMRANGE, 1, 0);
  EXPECT_EQ(notifications, 0);
}

TEST_F(ListFixture, HoldsAtMost32767Entries) {
  for (int i = 0; i < ListBox::MaxEntries; ++i) list.AddItem("x");
  EXPECT_EQ(list.ListCount(), 32767);
  try {
    list.AddItem("y");
    FAIL() << "no failure";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), RuntimeError::Overflow);
  }
  EXPECT_EQ(list.ListCount(), 32767);
  list.Clear();
  EXPECT_EQ(list.ListCount(), 0);
  EXPECT_EQ(list.NewIndex(), -1);
}

TEST_F(ListFixture, AnnouncesStructuralChangesBeforeAndAfter) {
  list.AddItem("b");
  std::vector<std::string> seen;
  list.listChanged.connect([&](const ListChange& c) {
    seen.push_back(std::to_string(c.kind) + (c.about ? "?" : "!") + std::to_string(c.first) + ":" +
                   std::to_string(list.ListCount()));
  });
  list.AddItem("a");
  list.RemoveItem(1);
  list.Clear();
  EXPECT_EQ(seen, (std::vector<std::string>{"0?0:1", "0!0:2", "1?1:2", "1!1:1", "2?0:1", "2!0:0"}));
}

TEST(SortedEntries, AgreesWithAPlainSortedVectorUnderRandomEdits) {
  SortedEntries tree;
  const FixedTextOrder order;
  std::vector<std::string> reference;
  std::mt19937 random(42);
  for (int step = 0; step < 4000; ++step) {
    if (reference.empty() || random() % 3 != 0) {
      std::string text(1 + random() % 3, 'a');
      for (char& c : text) c = static_cast<char>("aAbBc"[random() % 5]);
      const int at = tree.sortedPosition(text, order);
      tree.insertAt(at, ListEntry{text, step, false});
      const auto pos = std::upper_bound(
          reference.begin(), reference.end(), text,
          [](const std::string& a, const std::string& b) { return compareIgnoringCase(a, b) < 0; });
      ASSERT_EQ(at, pos - reference.begin());
      reference.insert(pos, text);
    } else {
      const int at = static_cast<int>(random() % reference.size());
      tree.erase(at);
      reference.erase(reference.begin() + at);
    }
  }
  ASSERT_EQ(tree.size(), static_cast<int>(reference.size()));
  int visited = 0;
  tree.forRange(5, 20, [&](ListEntry& e) { EXPECT_EQ(e.text, reference[5 + visited++]); });
  EXPECT_EQ(visited, 16);
  for (int i = 0; i < tree.size(); ++i) ASSERT_EQ(tree.at(i).text, reference[i]);
}
