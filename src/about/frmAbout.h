// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "forms/CommandButton.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/Line.h"
#include "forms/PictureBox.h"
#include "platform/Registry.h"
#include "platform/Services.h"

namespace karvelo::about {

// The About window: the program's title and version, a picture, the maker's copyright notice and
// web address (the picture and the two labels open the maker's site), and OK. It also carries the
// public operations that find and start the system's information tool, StartSysInfo and
// GetKeyValue; no control of the window starts them.
class frmAbout : public forms::Form {
 public:
  // The maker's copyright notice, a fixed text of the layout.
  static constexpr const char* CopyrightNotice = "Copyright \u00A9 2026 Karvelo Imaging Works";
  // The one message of StartSysInfo.
  static constexpr const char* SysInfoUnavailable =
      "System Information Is Unavailable At This Time";

  explicit frmAbout(const platform::Services& services);

  // "Version " and the three version numbers in plain decimal, separated by dots.
  static std::string versionText(int major, int minor, int revision);

  // Finds the system's information tool through the registry and starts it with a normal
  // window, or shows that it is unavailable. Every failure ends in that one message.
  void StartSysInfo();
  // Reads the value SubKeyRef of the key KeyName below KeyRoot into KeyVal: true when the key
  // was opened and the value read. With false, KeyVal is empty. A value of length 0 is a
  // RuntimeError, passed to the caller.
  bool GetKeyValue(const platform::Registry::Key& KeyRoot, const std::string& KeyName,
                   const std::string& SubKeyRef, std::string& KeyVal);

  // Controls, in the order of the layout.
  forms::PictureBox Picture1;
  forms::Label lblTitle;
  forms::Line Line1_1;  // grey upper line of the etched separator, "Line1(1)"
  forms::Line Line1_0;  // white lower line, "Line1(0)"
  forms::Label lblVersion;
  forms::Label lblDisclaimer;
  forms::Label Label1;
  forms::CommandButton cmdOK;

  void cmdOK_Click();
  void Picture1_Click();
  void lblDisclaimer_Click();
  void Label1_Click();

 protected:
  void Form_Load() override;

 private:
  // What every link of the window does: show the custom pointer and open the maker's site.
  void openMakerSite();

  platform::Services services_;
};

}  // namespace karvelo::about
