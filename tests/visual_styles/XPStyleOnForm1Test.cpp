// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/FakeServices.h"
#include "main_window/Form1.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace karvelo::visual_styles {
namespace {

using Calls = std::vector<std::string>;

TEST(XPStyleOnForm1, StartingLoadsTheShellLibraryOnceBeforeFormLoad) {
  fakes::FakeServices fake;
  main_window::Form1 form(fake.services());
  EXPECT_EQ(fake.commonControls.calls, (Calls{"InitCommonControlsEx", "LoadLibrary"}));
  EXPECT_EQ(form.XPStyle1.geometry(), (forms::Rect{5640, 7680, 810, 810}));
  EXPECT_EQ(form.XPStyle1.container(), nullptr);
  EXPECT_FALSE(form.XPStyle1.TabIndex().has_value());
  EXPECT_NE(form.initialFocus(), &form.XPStyle1);

  form.load();
  EXPECT_EQ(fake.commonControls.calls.size(), 2u);
}

TEST(XPStyleOnForm1, NoWayOfEndingTheProgramFreesTheLibrary) {
  const std::vector<std::pair<const char*, std::function<void(main_window::Form1&)>>> ways = {
      {"File > Exit", [](main_window::Form1& f) { f.mnuExit.click(); }},
      {"Exit button", [](main_window::Form1& f) { f.cmdExit.click(); }},
      {"closing the window", [](main_window::Form1& f) { f.Unload(); }},
  };
  for (const auto& [way, end] : ways) {
    SCOPED_TRACE(way);
    fakes::FakeServices fake;
    auto form = std::make_unique<main_window::Form1>(fake.services());
    form->load();
    end(*form);
    EXPECT_EQ(fake.application.endCalls, 1);
    EXPECT_TRUE(fake.commonControls.freedHandles.empty());

    // Only destroying the window object, which ending the program never does, frees it.
    form.reset();
    EXPECT_EQ(fake.commonControls.freedHandles,
              (std::vector<platform::ModuleHandle>{fake.commonControls.nextHandle}));
  }
}

}  // namespace
}  // namespace karvelo::visual_styles
