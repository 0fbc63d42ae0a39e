// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace karvelo::forms {
class Form;
}

namespace karvelo::platform {

// The program as a whole, owned by the view: showing windows and ending the program.
class Application {
 public:
  virtual ~Application() = default;
  // Shows the window without a mode and without an owner, creating its widgets on first show;
  // showing a shown window brings it to the front.
  virtual void show(forms::Form& form) = 0;
  // Ends the program at once: every window disappears and no further handler runs.
  virtual void end() = 0;
  // Runs the task soon on the windows' thread, as a handler of the form: its message boxes belong
  // to the form's window. May be called from any thread; a task due after the end never runs.
  virtual void post(forms::Form& form, std::function<void()> task) = 0;
};

}  // namespace karvelo::platform
