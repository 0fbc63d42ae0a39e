// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/win32/WindowsApi.h"

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace karvelo::forms {
class Control;
class Form;
class MenuEntry;
}  // namespace karvelo::forms

namespace karvelo::views::win32 {

class Appearance;
class ControlWindow;
class Win32View;

// The top-level window of a form, with a native child window for each of its controls.
//
// The children all sit directly in the top-level window, stacked in the layout's tab order, so
// that the system's dialog manager (IsDialogMessageW, with the dialog procedure as the window's
// default) walks Tab, the arrow keys and access keys in exactly that order, across panels. A
// panel lies below what it holds and moves, hides and disables it along with itself. Lines are
// not windows: their container draws them beneath its controls.
class FormWindow {
 public:
  FormWindow(Win32View& view, forms::Form& form);
  ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  forms::Form& form() const { return form_; }
  Win32View& view() const { return view_; }
  Appearance& appearance() const;

  HWND handleOf(const forms::Control& control) const;
  // Shows the window, centred on the screen the first time; a shown window comes to the front.
  void show();
  // Stops following the form, which may go away before the window does.
  void detach();
  void destroy();

  // Runs a user's action as a handler of this window's form.
  void dispatch(const std::function<void()>& action);
  // Lets the list boxes repaint what a handler changed.
  void releaseLists();

  // Brings the window of a control, and of everything it holds, to the model's place,
  // visibility and enabled state.
  void follow(const forms::Control& container);
  // Draws the lines of a container (null: the window itself) from the given origin.
  void paintLines(HDC dc, const forms::Control* container, POINT origin) const;
  // Shows the pointer that the model gives for what lies under the mouse now.
  void refreshCursor() const;

 private:
  static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void command(WORD id, WORD code, HWND from);
  bool setCursor(HWND under) const;
  void createFrame();
  void createMenuBar();
  void createControls();
  void fitClientArea();
  ControlWindow* find(HWND hwnd) const;

  Win32View& view_;
  forms::Form& form_;
  HWND hwnd_ = nullptr;
  bool shown_ = false;
  std::vector<std::unique_ptr<ControlWindow>> controls_;
  std::map<HWND, ControlWindow*> byHandle_;
  std::map<WORD, forms::MenuEntry*> menuEntries_;
  int changedId_ = 0;
  int unloadedId_ = 0;
  bool attached_ = true;
};

}  // namespace karvelo::views::win32
