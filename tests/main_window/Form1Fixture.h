// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fakes/FakeServices.h"
#include "fakes/FixedFontMetrics.h"
#include "main_window/Form1.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace karvelo::testing {

// A loaded main window on fake services, with fixed font metrics and '.' as decimal separator.
struct Form1Fixture : ::testing::Test {
  Form1Fixture() {
    form.setFontMetrics(&metrics);
    form.decimalSeparator = '.';
    form.load();
  }

  static std::vector<std::string> entries(const forms::ListBox& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.ListCount(); ++i) out.push_back(list.List(i));
    return out;
  }
  static std::vector<std::string> selectedEntries(const forms::ListBox& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.ListCount(); ++i) {
      if (list.Selected(i)) out.push_back(list.List(i));
    }
    return out;
  }
  static void fill(forms::ListBox& list, const std::vector<std::string>& names) {
    for (const auto& name : names) list.AddItem(name);
  }

  fakes::FakeServices fake;
  fakes::FixedFontMetrics metrics;
  main_window::Form1 form{fake.services()};
};

}  // namespace karvelo::testing
