// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Application.h"

#include <functional>
#include <vector>

namespace karvelo::forms {
class Form;
}

namespace karvelo::fakes {

// Records the windows shown and how often the program was ended; posted tasks run at once.
class FakeApplication final : public platform::Application {
 public:
  void show(forms::Form& form) override { shownForms.push_back(&form); }
  void end() override { ++endCalls; }
  void post(forms::Form& form, std::function<void()> task) override {
    postedFor.push_back(&form);
    task();
  }

  std::vector<forms::Form*> shownForms;
  std::vector<forms::Form*> postedFor;
  int endCalls = 0;
};

}  // namespace karvelo::fakes
