// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/frmAbout.h"

#include <karvelo/Version.h>

#include "web_links/WebLinks.h"

namespace karvelo::about {

using forms::Rect;

frmAbout::frmAbout(const platform::Services& services)
    : Form("frmAbout", "About", 4650, 3795),
      Picture1(*this, nullptr, "Picture1", Rect{1470, 270, 1785, 1260}),
      lblTitle(*this, nullptr, "lblTitle", Rect{240, 1605, 3885, 360}, "Application Title"),
      Line1_1(*this, nullptr, "Line1(1)", 90, 1905, 5654, 1905, forms::rgb(0x80, 0x80, 0x80), 1),
      Line1_0(*this, nullptr, "Line1(0)", 120, 1920, 4440, 1920, forms::rgb(0xFF, 0xFF, 0xFF), 2),
      lblVersion(*this, nullptr, "lblVersion", Rect{240, 1980, 3885, 225}, "Version"),
      lblDisclaimer(*this, nullptr, "lblDisclaimer", Rect{225, 2340, 3630, 255}, CopyrightNotice),
      Label1(*this, nullptr, "Label1", Rect{240, 2700, 3495, 255},
             std::string(web_links::MakerHome)),
      cmdOK(*this, nullptr, "cmdOK", Rect{1560, 3060, 1260, 345}, "OK"),
      services_(services) {
  borderStyle = forms::BorderStyle::FixedDialog;
  maxButton = false;
  minButton = false;
  centerOnScreen = true;
  icon = "about";
  setBackColor(forms::sys::HighlightText);

  Picture1.setPicture("about-picture");
  Picture1.setTabIndex(5);
  Picture1.setMousePointer(forms::pointer::Custom);
  Picture1.Click = [this] { Picture1_Click(); };

  lblTitle.setTabIndex(2);
  lblTitle.setForeColor(forms::rgb(0, 0, 0));
  lblTitle.transparent = true;

  Line1_1.insideSolid = true;

  lblVersion.setTabIndex(3);
  lblVersion.transparent = true;

  lblDisclaimer.setTabIndex(1);
  lblDisclaimer.setForeColor(forms::rgb(0, 0, 0));
  lblDisclaimer.transparent = true;
  lblDisclaimer.setMousePointer(forms::pointer::Custom);
  lblDisclaimer.Click = [this] { lblDisclaimer_Click(); };

  Label1.setTabIndex(4);
  Label1.transparent = true;
  Label1.setMousePointer(forms::pointer::Custom);
  Label1.Click = [this] { Label1_Click(); };

  cmdOK.setTabIndex(0);
  cmdOK.isDefault = true;
  cmdOK.isCancel = true;
  cmdOK.Click = [this] { cmdOK_Click(); };
}

std::string frmAbout::versionText(int major, int minor, int revision) {
  return "Version " + std::to_string(major) + "." + std::to_string(minor) + "." +
         std::to_string(revision);
}

void frmAbout::Form_Load() {
  setCaption(std::string("About ") + version::Title);
  lblVersion.setCaption(versionText(version::Major, version::Minor, version::Revision));
  lblTitle.setCaption(version::Title);
}

void frmAbout::cmdOK_Click() { Unload(); }

void frmAbout::Picture1_Click() { openMakerSite(); }

void frmAbout::lblDisclaimer_Click() { openMakerSite(); }

void frmAbout::Label1_Click() { openMakerSite(); }

void frmAbout::openMakerSite() {
  // The window's own pointer becomes the custom one and stays so until the window is closed.
  setMousePointer(forms::pointer::Custom);
  web_links::openPage(services_.shell, hWnd, web_links::MakerHome);
}

}  // namespace karvelo::about
