// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/win32/WindowsApi.h"

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/Application.h"
#include "views/win32/Appearance.h"

namespace karvelo::forms {
class Control;
class Form;
}  // namespace karvelo::forms

namespace karvelo::views::win32 {

class FormWindow;

// The Windows view: turns any form model into native windows at the laid-out places, mirrors
// model changes into the windows and the user's input into the model and its handlers, runs the
// message loop, and is the program as a whole (showing windows, ending the program).
//
// Every route from a window into the model runs as a handler: one at a time, never after the
// program has ended, with list boxes holding their repaints until it returns. The forms it shows
// must outlive it, unless the program has ended: the end lets go of them.
class Win32View final : public platform::Application {
 public:
  // How the program ends: the process stops at once, its windows not destroyed, so that no
  // further handler runs. Tests pass their own.
  using Ending = std::function<void()>;
  static void endProcess() { ExitProcess(0); }

  explicit Win32View(Ending ending = endProcess);
  ~Win32View() override;
  Win32View(const Win32View&) = delete;
  Win32View& operator=(const Win32View&) = delete;

  // platform::Application
  void show(forms::Form& form) override;
  void end() override;
  // Posted to a message-only window of the view's, so that the task also runs while a message
  // box or the folder picker waits.
  void post(forms::Form& form, std::function<void()> task) override;

  // Takes and dispatches messages, with Tab, Enter, Esc and access keys handled as in a dialog,
  // until the program ends.
  void run();
  // Dispatches the messages that are waiting now.
  void processMessages();

  bool hasEnded() const { return ended_; }
  Appearance& appearance() { return appearance_; }
  const forms::FontMetrics& fontMetrics() const { return appearance_; }

  // The window of a shown form and the window of a control, or null.
  HWND windowOf(const forms::Form& form) const;
  HWND handleOf(const forms::Control& control) const;

  // The window that owns a message box or the folder picker now: the one whose handler runs,
  // else the program's active window. Asking brings the lists up to date, since the box lets
  // the windows paint while it waits.
  HWND modalOwner();

  // Runs model code for a user's action in a form's window. A run-time failure that no handler
  // trapped is reported and ends the program.
  void dispatch(forms::Form& form, const std::function<void()>& action);
  bool inHandler() const { return !handlerForms_.empty(); }

  // Takes down the window of a form that has unloaded.
  void discard(const forms::Form& form);

 private:
  void releaseLists();
  bool isDialogMessage(MSG& message);
  void dispatchMessage(MSG& message);

  static LRESULT CALLBACK postedTasks(HWND window, UINT message, WPARAM, LPARAM task);

  Appearance appearance_;
  Ending ending_;
  HWND tasks_ = nullptr;  // receives the posted tasks
  std::map<const forms::Form*, std::unique_ptr<FormWindow>> windows_;
  // Windows whose form has unloaded, kept until the message that led there has been handled.
  std::vector<std::unique_ptr<FormWindow>> retired_;
  std::vector<forms::Form*> handlerForms_;
  bool ended_ = false;
};

}  // namespace karvelo::views::win32
