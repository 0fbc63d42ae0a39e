// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/FakeServices.h"
#include "main_window/Form1.h"
#include "views/layout/Placement.h"
#include "views/layout/TabOrder.h"

namespace karvelo::views::layout {
namespace {

TEST(PixelScale, RoundsTwipsToTheNearestPixelAtTheScreensResolution) {
  struct Case {
    int dpi;
    int twips;
    int pixels;
  };
  const Case cases[] = {
      {96, 15, 1},  {96, 7, 0},       {96, 8, 1},   {96, -8, -1},     {96, 8940, 596},
      {120, 12, 1}, {120, 1440, 120}, {144, 10, 1}, {144, 8940, 894},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PixelScale{c.dpi}.toPixels(c.twips), c.pixels) << c.twips << " twips at " << c.dpi;
  }
}

class Form1Layout : public ::testing::Test {
 protected:
  Form1Layout() { form.load(); }
  fakes::FakeServices fakes;
  main_window::Form1 form{fakes.services()};
};

TEST_F(Form1Layout, PanelsLieBelowWhatTheyHoldAndOptionButtonsShareOneGroup) {
  const std::vector<forms::Control*> order = stackingOrder(form);
  ASSERT_EQ(order.size(), form.controls().size());
  // Last the panels: the progress bar above the area that holds it.
  std::vector<std::string> bottom;
  for (std::size_t i = order.size() - 4; i < order.size(); ++i) bottom.push_back(order[i]->name());
  EXPECT_EQ(bottom, (std::vector<std::string>{"picProgress", "Picture1", "Picture2", "Picture3"}));

  std::vector<std::string> groupMembers;
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (!startsGroup(order, i)) groupMembers.push_back(order[i]->name());
  }
  // opt2 (tab 34) starts the group; opt1 and opt3 follow it.
  EXPECT_EQ(groupMembers, (std::vector<std::string>{"opt1", "opt3"}));

  // The slide inside the bar, inside its bordered area: each edge and place rounded on its own.
  EXPECT_EQ(placeInClient(form.picProgressSlide, PixelScale{96}),
            (PixelRect{18 + 2 + 14 + 2 + 0, 532 + 2 + 34 + 2 + 0, 0, 21}));
}

}  // namespace
}  // namespace karvelo::views::layout
