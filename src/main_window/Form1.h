// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "about/frmAbout.h"
#include "forms/CheckBox.h"
#include "forms/ComboBox.h"
#include "forms/CommandButton.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/ListBox.h"
#include "forms/MenuEntry.h"
#include "forms/OptionButton.h"
#include "forms/PictureBox.h"
#include "forms/TextBox.h"
#include "platform/Services.h"
#include "resize_job/Module1.h"
#include "resize_job/ResizeRequest.h"
#include "visual_styles/XPStyle.h"

#include <cstdint>
#include <memory>

namespace karvelo::main_window {

// The main window: the source and destination folders, the lists of available and chosen
// pictures, the sizing and naming options, Resize with its progress bar, and the menu bar.
// Controls are public so that the view and the tests reach them by their names.
class Form1 : public forms::Form {
 public:
  explicit Form1(const platform::Services& platformServices);

  platform::Services services;
  // The decimal separator of the user's regional settings, for the ratio and the numeric test of
  // sizes.
  char decimalSeparator;

  // Controls directly on the window.
  forms::Label Label7;
  forms::PictureBox Picture1;
  forms::Label Label6;
  forms::PictureBox Picture2;
  forms::Label Label8;
  forms::PictureBox Picture3;
  visual_styles::XPStyle XPStyle1;
  forms::CommandButton cmdExit;

  // Area 1, "Select Pictures To Resize", inside Picture1.
  forms::Label Label3;
  forms::Label Label1;
  forms::Label lblPicFolder;
  forms::CommandButton Command1;
  forms::Label Label5;
  forms::CheckBox chkSource;
  forms::Label lblPicFolderDest;
  forms::CommandButton Command2;
  forms::ListBox List1;
  forms::CommandButton cmdAdd;
  forms::CommandButton cmdRemove;
  forms::ListBox List2;
  forms::CommandButton SelectAll;
  forms::CommandButton deselectall;
  forms::CommandButton cmdRefresh;
  forms::CommandButton SelectAll2;
  forms::CommandButton DeselectAll2;
  forms::Label Label2;

  // Area 2, "Set Resize Options", inside Picture2.
  forms::OptionButton opt1;
  forms::ComboBox cmbRatio;
  forms::Label Label4;
  forms::Label lblPrefix;
  forms::TextBox txtPrefix;
  forms::Label lblSuffix;
  forms::TextBox txtSuffix;
  forms::OptionButton opt2;
  forms::TextBox txtHeight;
  forms::CheckBox chkMaintain;
  forms::OptionButton opt3;
  forms::TextBox txtWidth;
  forms::CheckBox chkOverwrite;

  // Area 3, "Click "Resize" To Process", inside Picture3.
  forms::CommandButton cmdResize;
  forms::PictureBox picProgress;
  forms::PictureBox picProgressSlide;

  // Menu bar.
  forms::MenuEntry cmdFile;
  forms::MenuEntry mnuExit;
  forms::MenuEntry MnuUploadTop;
  forms::MenuEntry MnuUpload;
  forms::MenuEntry mnuHelp;
  forms::MenuEntry mnuFAQ;
  forms::MenuEntry mnuSupport;
  forms::MenuEntry mnuAbout;

  // The folder listing, FileCount and the progress bar, shared with the resize job.
  resize_job::Module1 module1;

  // Moves the selected entries of lstListToRemoveFrom into lstListToAddTo, each to its sorted
  // place, unselected, with its item data.
  void MoveListBoxItems(forms::ListBox& lstListToAddTo, forms::ListBox& lstListToRemoveFrom);
  // A 32-bit number from two 16-bit patterns: high in the upper half, low in the lower half.
  static constexpr std::int32_t MakeLong(std::int16_t low, std::int16_t high) {
    return static_cast<std::int32_t>(
        (static_cast<std::uint32_t>(static_cast<std::uint16_t>(high)) << 16) |
        static_cast<std::uint32_t>(static_cast<std::uint16_t>(low)));
  }

  // Event handlers.
  void cmdExit_Click();
  void mnuExit_Click();
  void cmdAdd_Click();
  void cmdRemove_Click();
  void SelectAll_Click();
  void deselectall_Click();
  void SelectAll2_Click();
  void DeselectAll2_Click();
  void cmdRefresh_Click();
  void Command1_Click();
  void Command2_Click();
  void chkSource_Click();
  void chkOverwrite_Click();
  void cmdResize_Click();
  void mnuAbout_Click();
  void mnuFAQ_Click();
  void mnuSupport_Click();
  void MnuUpload_Click();

  // The About window while one exists, else null. One that OK or its close box has unloaded
  // stays here until the next About replaces it.
  about::frmAbout* aboutWindow() const { return about_.get(); }

  // The choices that Resize reads, as the controls hold them now.
  resize_job::ResizeRequest readResizeRequest() const;

 protected:
  void Form_Load() override;
  void Form_Unload(std::int16_t& cancel) override;

 private:
  // When a run has ended: names the pictures that were not resized, if any.
  void showRunFailures(const resize_job::ResizeRequest& request, const platform::RunEnd& end);
  void applyLayoutDetails();
  void wireEvents();
  static void selectEveryEntry(forms::ListBox& list, bool selected);

  std::unique_ptr<about::frmAbout> about_;
};

}  // namespace karvelo::main_window
