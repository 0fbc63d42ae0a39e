#pragma once

#include "platform/Application.h"

#include <vector>

namespace karvelo::forms {
class Form;
}

namespace karvelo::fakes {

// Records the windows shown and how often the program was ended.
class FakeApplication final : public platform::Application {
 public:
  void show(forms::Form& form) override { shownForms.push_back(&form); }
  void end() override { ++endCalls; }

  std::vector<forms::Form*> shownForms;
  int endCalls = 0;
};

}  // namespace karvelo::fakes
