// SPDX-License-Identifier: GPL-3.0-or-later
#include "visual_styles/XPStyle.h"

#include "fakes/FakeCommonControls.h"
#include "forms/Form.h"
#include "forms/PictureBox.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace karvelo::visual_styles {
namespace {

using Calls = std::vector<std::string>;

struct XPStyleTest : ::testing::Test {
  fakes::FakeCommonControls common;
  forms::Form form{"Form1", "Karvelo", 9000, 9600};
};

TEST_F(XPStyleTest, CreationInitialisesTheCommonControlsThenLoadsTheShellLibrary) {
  XPStyle control(form, nullptr, "XPStyle1", 5640, 7680, common);
  EXPECT_EQ(common.calls, (Calls{"InitCommonControlsEx", "LoadLibrary"}));
  ASSERT_EQ(common.records.size(), 1u);
  EXPECT_EQ(common.records[0].dwSize, 8u);
  EXPECT_EQ(common.records[0].dwICC, 0x200u);
  EXPECT_EQ(common.loadedNames, (Calls{"shell32.dll"}));

  EXPECT_EQ(control.geometry(), (forms::Rect{5640, 7680, 810, 810}));
  EXPECT_EQ(control.kind(), forms::ControlKind::UserControl);
  EXPECT_FALSE(control.canTakeFocus());
  EXPECT_FALSE(control.TabIndex().has_value());
  EXPECT_EQ(form.find("XPStyle1"), &control);
}

TEST_F(XPStyleTest, SizeReturnsTo810TwipsWhateverTheContainerAsks) {
  XPStyle control(form, nullptr, "XPStyle1", 5640, 7680, common);
  std::vector<forms::Rect> seen;
  control.changed.connect([&](forms::Property p) {
    if (p == forms::Property::Geometry) seen.push_back(control.geometry());
  });

  control.Move(100, 200, 2000, 30);
  EXPECT_EQ(control.geometry(), (forms::Rect{100, 200, 810, 810}));
  // The nesting ends: the asked size, the width put back, then the height put back.
  EXPECT_EQ(seen, (std::vector<forms::Rect>{
                      {100, 200, 2000, 30}, {100, 200, 810, 30}, {100, 200, 810, 810}}));

  control.setWidth(0);
  control.setHeight(-15);
  EXPECT_EQ(control.geometry(), (forms::Rect{100, 200, 810, 810}));
  control.Move(100, 200, 810, 4000);  // only the height differs
  EXPECT_EQ(control.geometry(), (forms::Rect{100, 200, 810, 810}));

  // Moving without resizing moves and leaves the size alone.
  seen.clear();
  control.Move(5640, 7680, 810, 810);
  EXPECT_EQ(seen, (std::vector<forms::Rect>{{5640, 7680, 810, 810}}));
  // Resizing asks the platform for nothing.
  EXPECT_EQ(common.calls, (Calls{"InitCommonControlsEx", "LoadLibrary"}));
}

TEST_F(XPStyleTest, DestroyingAnInstanceFreesTheHandleItsCreationStored) {
  forms::PictureBox panel(form, nullptr, "Picture3", {270, 7980, 8355, 1125});
  common.nextHandle = 0x7CA10000;
  auto first = std::make_unique<XPStyle>(form, &panel, "XPStyle1", 0, 0, common);
  common.nextHandle = 0x10000000;  // a later load hands out another handle
  auto second = std::make_unique<XPStyle>(form, &panel, "XPStyle2", 900, 0, common);
  EXPECT_TRUE(common.freedHandles.empty());

  first.reset();
  EXPECT_EQ(common.freedHandles, (std::vector<platform::ModuleHandle>{0x7CA10000}));
  EXPECT_EQ(form.find("XPStyle1"), nullptr);
  second.reset();
  EXPECT_EQ(common.freedHandles, (std::vector<platform::ModuleHandle>{0x7CA10000, 0x10000000}));
  EXPECT_EQ(common.calls.back(), "FreeLibrary");
}

TEST_F(XPStyleTest, AFailedLoadKeepsZeroAndFreesZero) {
  common.nextHandle = 0;
  { XPStyle control(form, nullptr, "XPStyle1", 5640, 7680, common); }
  EXPECT_EQ(common.calls, (Calls{"InitCommonControlsEx", "LoadLibrary", "FreeLibrary"}));
  EXPECT_EQ(common.freedHandles, (std::vector<platform::ModuleHandle>{0}));
}

}  // namespace
}  // namespace karvelo::visual_styles
