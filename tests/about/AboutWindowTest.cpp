// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "about/frmAbout.h"
#include "fakes/FakeServices.h"
#include "web_links/WebLinks.h"

using karvelo::about::frmAbout;
using karvelo::fakes::FakeServices;
using karvelo::fakes::FakeShellOpen;
namespace pointer = karvelo::forms::pointer;
namespace web_links = karvelo::web_links;

TEST(AboutWindow, LayoutTextsAndFocusAfterLoad) {
  FakeServices fakes;
  frmAbout about{fakes.services()};
  EXPECT_EQ(about.Caption(), "About");
  EXPECT_EQ(about.lblTitle.Caption(), "Application Title");
  EXPECT_EQ(about.lblVersion.Caption(), "Version");

  std::vector<std::string> names;
  for (const auto* control : about.controls()) names.push_back(control->name());
  EXPECT_EQ(names, (std::vector<std::string>{"Picture1", "lblTitle", "Line1(1)", "Line1(0)",
                                             "lblVersion", "lblDisclaimer", "Label1", "cmdOK"}));
  EXPECT_TRUE(about.menus().empty());
  EXPECT_EQ(about.MousePointer(), pointer::Default);
  for (const auto* link : std::vector<const karvelo::forms::Control*>{
           &about.Picture1, &about.lblDisclaimer, &about.Label1}) {
    EXPECT_EQ(link->MousePointer(), pointer::Custom) << link->name();
  }
  EXPECT_EQ(about.Label1.Caption(), web_links::MakerHome);
  EXPECT_EQ(about.Picture1.Picture(), "about-picture");

  about.load();
  EXPECT_EQ(about.Caption(), "About Karvelo");
  EXPECT_EQ(about.lblTitle.Caption(), "Karvelo");
  EXPECT_EQ(about.lblVersion.Caption(), "Version 1.0.0");
  EXPECT_EQ(about.initialFocus(), &about.cmdOK);

  // Each number in plain decimal; the revision is the third, and there is no fourth.
  EXPECT_EQ(frmAbout::versionText(2, 10, 7), "Version 2.10.7");
}

TEST(AboutWindow, OkByClickEnterOrEscUnloadsTheWindow) {
  FakeServices fakes;
  const std::vector<std::function<void(frmAbout&)>> presses{[](frmAbout& a) { a.cmdOK.click(); },
                                                            [](frmAbout& a) { a.pressEnter(); },
                                                            [](frmAbout& a) { a.pressEscape(); }};
  for (const auto& press : presses) {
    frmAbout about{fakes.services()};
    about.load();
    int unloads = 0;
    about.unloaded.connect([&] { ++unloads; });
    press(about);
    EXPECT_TRUE(about.isUnloaded());
    EXPECT_EQ(unloads, 1);
  }
  // The close box takes the same road without any program code of the window.
  frmAbout about{fakes.services()};
  about.load();
  about.Unload();
  EXPECT_TRUE(about.isUnloaded());
}

TEST(AboutWindow, EachLinkOpensTheMakersSiteForTheAboutWindowAndKeepsTheHandPointer) {
  FakeServices fakes;
  frmAbout about{fakes.services()};
  about.hWnd = 0x5150;
  about.load();
  const FakeShellOpen::Call expected{0x5150,       "Open",       std::string(web_links::MakerHome),
                                     std::nullopt, std::nullopt, 0};
  about.Label1.click();
  EXPECT_EQ(about.MousePointer(), pointer::Custom);
  about.lblDisclaimer.click();
  about.Picture1.click();
  about.Picture1.click();  // nothing is remembered: the same page again
  EXPECT_EQ(fakes.shell.calls, std::vector<FakeShellOpen::Call>(4, expected));
  EXPECT_EQ(about.MousePointer(), pointer::Custom);
  // Nothing else reacts to a click.
  about.lblTitle.click();
  about.lblVersion.click();
  EXPECT_EQ(fakes.shell.calls.size(), 4u);
  EXPECT_FALSE(about.isUnloaded());

  // A new window starts again from the layout's pointer.
  frmAbout next{fakes.services()};
  next.load();
  EXPECT_EQ(next.MousePointer(), pointer::Default);
}

TEST(WebLinks, AddressesArePlainWebPagesOnReservedHosts) {
  for (const std::string_view address : {web_links::MakerHome, web_links::VelmoraHome,
                                         web_links::VelmoraFaq, web_links::VelmoraSupport}) {
    EXPECT_TRUE(address.starts_with("http://")) << address;
    const std::string_view rest = address.substr(7);
    const std::string_view host = rest.substr(0, rest.find('/'));
    EXPECT_TRUE(host.ends_with(".example")) << address;
  }
  for (const std::string_view home : {web_links::MakerHome, web_links::VelmoraHome}) {
    EXPECT_EQ(home.substr(7).find('/'), std::string_view::npos) << home;
  }
  EXPECT_EQ(web_links::VelmoraFaq, std::string(web_links::VelmoraHome) + "/faq.php");
  EXPECT_EQ(web_links::VelmoraSupport, std::string(web_links::VelmoraHome) + "/contact.php");
}
