// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/FixedFontMetrics.h"
#include "forms/CheckBox.h"
#include "forms/CommandButton.h"
#include "forms/Form.h"
#include "forms/OptionButton.h"
#include "forms/PictureBox.h"

#include <gtest/gtest.h>

using namespace karvelo::forms;

TEST(Controls, CheckBoxClickTogglesBeforeItsHandlerRuns) {
  Form form{"F", "F", 100, 100};
  CheckBox box{form, nullptr, "chk", {}, "Tick", CheckBox::Checked};
  std::vector<int> seen;
  box.Click = [&] { seen.push_back(box.Value()); };
  box.click();
  box.click();
  box.setValue(CheckBox::Grayed);
  EXPECT_FALSE(box.isChecked());
  box.click();
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 1}));
}

TEST(Controls, OptionButtonsAreExclusiveWithinTheirContainerOnly) {
  Form form{"F", "F", 100, 100};
  PictureBox panelA{form, nullptr, "A", {}};
  PictureBox panelB{form, nullptr, "B", {}};
  OptionButton a1{form, &panelA, "a1", {}, "1"}, a2{form, &panelA, "a2", {}, "2"};
  OptionButton b1{form, &panelB, "b1", {}, "1"};
  a1.click();
  b1.click();
  EXPECT_TRUE(a1.Value());
  a2.click();
  EXPECT_FALSE(a1.Value());
  EXPECT_TRUE(a2.Value());
  EXPECT_TRUE(b1.Value());
}

TEST(Controls, ButtonsFocusAndKeys) {
  Form form{"F", "F", 100, 100};
  CommandButton ok{form, nullptr, "ok", {}, "&OK"};
  CommandButton all{form, nullptr, "all", {}, "Select &All"};
  CommandButton amp{form, nullptr, "amp", {}, "Save && &quit"};
  ok.isDefault = ok.isCancel = true;
  ok.setTabIndex(3);
  all.setTabIndex(1);
  int clicks = 0;
  ok.Click = [&] { ++clicks; };
  EXPECT_EQ(ok.accessKey(), 'O');
  EXPECT_EQ(all.accessKey(), 'A');
  EXPECT_EQ(parseAccessKey(amp.Caption()).shown, "Save & quit");
  EXPECT_EQ(amp.accessKey(), 'Q');
  EXPECT_EQ(form.initialFocus(), &all);
  all.setEnabled(false);
  EXPECT_EQ(form.initialFocus(), &ok);
  form.pressEnter();
  form.pressEscape();
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(form.find("amp"), &amp);
  EXPECT_EQ(form.find("none"), nullptr);
}

TEST(Controls, PictureBoxKeepsItsDrawingAndMeasuresWithTheFormsMetrics) {
  Form form{"F", "F", 100, 100};
  karvelo::fakes::FixedFontMetrics metrics{100, 240};
  form.setFontMetrics(&metrics);
  PictureBox box{form, nullptr, "pic", {0, 0, 1000, 400}};
  PictureBox inner{form, &box, "inner", {60, 60, 500, 200}, false};
  EXPECT_EQ(box.ScaleWidth(), 940);
  EXPECT_EQ(box.ScaleHeight(), 340);
  EXPECT_EQ(inner.ScaleWidth(), 500);
  EXPECT_EQ(box.TextWidth("25"), 200);

  int refreshes = 0;
  box.changed.connect([&](Property p) { refreshes += p == Property::Drawing; });
  box.setForeColor(sys::Highlight);
  box.setCurrentX(10);
  box.setCurrentY(20);
  box.Print("25%");
  EXPECT_EQ(refreshes, 0);
  box.Refresh();
  EXPECT_EQ(refreshes, 1);
  ASSERT_EQ(box.drawing().size(), 1u);
  EXPECT_EQ(box.drawing()[0], (PrintedText{10, 20, "25%", sys::Highlight, form.Font()}));
  EXPECT_EQ(box.CurrentX(), 0);
  EXPECT_EQ(box.CurrentY(), 260);
  box.Cls();
  EXPECT_TRUE(box.drawing().empty());
  EXPECT_EQ(box.CurrentY(), 0);
}

TEST(Controls, FormUnloadCanBeRefusedAndNotifiesOnce) {
  struct Refusing : Form {
    Refusing() : Form("R", "R", 10, 10) {}
    int16_t answer = 1;
    int loads = 0;
    void Form_Load() override { ++loads; }
    void Form_Unload(int16_t& cancel) override { cancel = answer; }
  } form;
  int unloads = 0;
  form.unloaded.connect([&] { ++unloads; });
  form.load();
  form.load();
  EXPECT_EQ(form.loads, 1);
  form.Unload();
  EXPECT_FALSE(form.isUnloaded());
  form.answer = 0;
  form.Unload();
  form.Unload();
  EXPECT_TRUE(form.isUnloaded());
  EXPECT_EQ(unloads, 1);
}

TEST(Controls, SignalSurvivesObserversThatDisconnectWhileNotified) {
  Signal<int> signal;
  int first = 0, second = 0;
  int id = 0;
  id = signal.connect([&](int) {
    ++first;
    signal.disconnect(id);
  });
  signal.connect([&](int v) { second += v; });
  signal(2);
  signal(3);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 5);
}
