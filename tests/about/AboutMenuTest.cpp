// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "about/frmAbout.h"
#include "main_window/Form1Fixture.h"
#include "web_links/WebLinks.h"

using karvelo::fakes::FakeShellOpen;
namespace pointer = karvelo::forms::pointer;
namespace web_links = karvelo::web_links;

namespace {

using AboutMenu = karvelo::testing::Form1Fixture;

}  // namespace

TEST_F(AboutMenu, TwoChoicesGiveOneLoadedWindowShownEachTime) {
  EXPECT_EQ(form.aboutWindow(), nullptr);
  form.mnuAbout.click();
  auto* about = form.aboutWindow();
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->isLoaded());
  EXPECT_EQ(about->Caption(), "About Karvelo");
  about->Label1.click();  // leaves the custom pointer on this window

  form.mnuAbout.click();
  EXPECT_EQ(form.aboutWindow(), about);
  EXPECT_EQ(about->MousePointer(), pointer::Custom) << "the same window, not a new one";
  EXPECT_EQ(fake.application.shownForms, (std::vector<karvelo::forms::Form*>{about, about}));
  EXPECT_EQ(fake.application.endCalls, 0);
}

TEST_F(AboutMenu, AfterOkTheNextChoiceMakesAndLoadsANewWindow) {
  form.mnuAbout.click();
  form.aboutWindow()->Picture1.click();
  form.aboutWindow()->pressEscape();
  EXPECT_TRUE(form.aboutWindow()->isUnloaded());

  form.mnuAbout.click();
  auto* again = form.aboutWindow();
  ASSERT_NE(again, nullptr);
  EXPECT_FALSE(again->isUnloaded());
  EXPECT_TRUE(again->isLoaded());
  EXPECT_EQ(again->Caption(), "About Karvelo");
  EXPECT_EQ(again->lblVersion.Caption(), "Version 1.0.0");
  EXPECT_EQ(again->MousePointer(), pointer::Default) << "a new window starts from the layout";
  ASSERT_EQ(fake.application.shownForms.size(), 2u);
  EXPECT_EQ(fake.application.shownForms.back(), again);

  // Closed by the close box this time, then opened once more.
  again->Unload();
  form.mnuAbout.click();
  EXPECT_FALSE(form.aboutWindow()->isUnloaded());
  EXPECT_EQ(fake.application.shownForms.size(), 3u);
}

TEST_F(AboutMenu, ClosingTheMainWindowWithAboutOpenEndsTheProgram) {
  form.mnuAbout.click();
  form.cmdExit.click();
  EXPECT_EQ(fake.application.endCalls, 1);
}

TEST_F(AboutMenu, MenuLinksOpenTheVelmoraPagesForTheMainWindow) {
  form.hWnd = 0xF041;
  form.mnuFAQ.click();
  form.mnuSupport.click();
  form.MnuUpload.click();
  form.MnuUpload.click();
  const auto call = [](std::string_view address) {
    return FakeShellOpen::Call{0xF041, "Open", std::string(address), std::nullopt, std::nullopt, 0};
  };
  EXPECT_EQ(fake.shell.calls, (std::vector<FakeShellOpen::Call>{
                                  call(web_links::VelmoraFaq), call(web_links::VelmoraSupport),
                                  call(web_links::VelmoraHome), call(web_links::VelmoraHome)}));
  EXPECT_EQ(form.MousePointer(), pointer::Default);
  EXPECT_TRUE(fake.application.shownForms.empty());
}
