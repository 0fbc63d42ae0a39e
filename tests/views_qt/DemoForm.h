// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <vector>

#include "forms/CheckBox.h"
#include "forms/ComboBox.h"
#include "forms/CommandButton.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/Line.h"
#include "forms/ListBox.h"
#include "forms/MenuEntry.h"
#include "forms/OptionButton.h"
#include "forms/PictureBox.h"
#include "forms/TextBox.h"

namespace karvelo::views::qt::testing {

// A small window with one control of every kind, for the generic parts of the view: the view
// knows no window by name, so any form will do.
class DemoForm : public forms::Form {
 public:
  DemoForm() : Form("frmDemo", "Demo", 6000, 4800) {
    heading.alignment = forms::Alignment::Center;
    heading.border = true;
    heading.setBackColor(forms::sys::ActiveTitle);
    heading.setForeColor(forms::sys::TitleText);
    heading.setFont({"Tahoma", 8.25, true});
    chkGray.setValue(forms::CheckBox::Grayed);
    progress.setBackColor(forms::sys::HighlightText);
    slide.setBackColor(forms::sys::Highlight);
    cmdExit.setTabIndex(0);
    lstLeft.setTabIndex(1);
    cmdMove.setTabIndex(2);
    lstRight.setTabIndex(3);
    txtHeight.setTabIndex(4);
    heading.setTabIndex(5);
    cmdMove.Click = [this] { moveSelected(); };
    cmdExit.Click = [this] { Unload(); };
    mnuExit.Click = [this] {
      if (onEnd) onEnd();
    };
    heading.Click = [this] { ++headingClicks; };
  }

  void moveSelected() {
    for (int i = lstLeft.ListCount() - 1; i >= 0; --i) {
      if (!lstLeft.Selected(i)) continue;
      lstRight.AddItem(lstLeft.List(i));
      lstLeft.RemoveItem(i);
    }
  }

  forms::Label heading{*this, nullptr, "lblHeading", {420, 150, 2310, 285}, "Pick Pictures"};
  forms::PictureBox panel{*this, nullptr, "Panel", {270, 420, 5400, 2700}};
  forms::ListBox lstLeft{*this, &panel, "lstLeft", {60, 60, 2000, 1500}};
  forms::CommandButton cmdMove{*this, &panel, "cmdMove", {2200, 300, 525, 345}, "=>"};
  forms::ListBox lstRight{*this, &panel, "lstRight", {2900, 60, 2000, 1500}};
  forms::TextBox txtHeight{*this, &panel, "txtHeight", {60, 1700, 1095, 285}};
  forms::CheckBox chkKeep{
      *this, &panel, "chkKeep", {1300, 1700, 1800, 255}, "Keep &Aspect", forms::CheckBox::Checked};
  forms::CheckBox chkGray{*this, &panel, "chkGray", {3200, 1700, 1800, 255}, "Gray"};
  forms::OptionButton optA{*this, &panel, "optA", {60, 2100, 1200, 255}, "A"};
  forms::OptionButton optB{*this, &panel, "optB", {1300, 2100, 1200, 255}, "B"};
  forms::ComboBox cmbRatio{*this, &panel, "cmbRatio", {2600, 2100, 1215, 315}, "25 %"};
  forms::PictureBox lower{*this, nullptr, "Lower", {270, 3300, 5400, 1200}};
  forms::OptionButton optC{*this, &lower, "optC", {60, 60, 1200, 255}, "C"};
  forms::PictureBox progress{*this, &lower, "picProgress", {60, 400, 4500, 375}};
  forms::PictureBox slide{*this, &progress, "picSlide", {60, 60, 0, 255}};
  forms::CommandButton cmdExit{*this, nullptr, "cmdExit", {4000, 4560, 900, 225}, "E&xit"};
  forms::Line line{*this, nullptr, "Line1", 90, 4550, 9000, 4550, forms::rgb(128, 128, 128)};
  forms::MenuEntry mnuFile{*this, nullptr, "mnuFile", "File"};
  forms::MenuEntry mnuExit{*this, &mnuFile, "mnuExit", "Exit"};

  std::function<void()> onEnd;
  std::function<void()> onUnload;
  int unloadCount = 0;
  int headingClicks = 0;

 protected:
  void Form_Unload(std::int16_t&) override {
    ++unloadCount;
    if (onUnload) onUnload();
  }
};

}  // namespace karvelo::views::qt::testing
