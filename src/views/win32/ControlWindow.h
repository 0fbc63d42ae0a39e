// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "views/win32/WindowsApi.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms/Control.h"
#include "views/layout/Placement.h"

namespace karvelo::views::win32 {

class FormWindow;

// The native window of one control and how it follows the control: the common part (place,
// visibility, enabled state, font) here, each kind's own in its subclass.
class ControlWindow {
 public:
  ControlWindow(FormWindow& owner, forms::Control& control);
  virtual ~ControlWindow();
  ControlWindow(const ControlWindow&) = delete;
  ControlWindow& operator=(const ControlWindow&) = delete;

  forms::Control& control() const { return control_; }
  // Null for a control that has no window of its own (a line, the visual-style control).
  HWND hwnd() const { return hwnd_; }

  // Makes the native window, once, with the dialog manager's styles: a tab stop for a control
  // that takes the focus, the start of an arrow-key group where `group` says so.
  virtual void create(bool group) = 0;
  // Stops following the control, which may go away before the window does.
  void detach();

  // A notification from the window (WM_COMMAND's code).
  virtual void command(WORD code) { (void)code; }
  // WM_CTLCOLOR*: sets the colours into `dc` and returns the background brush, or null to leave
  // the window's own colours.
  virtual HBRUSH colors(HDC dc) {
    (void)dc;
    return nullptr;
  }
  // Whether a list box holds back repaints that a handler's changes caused; releases them.
  virtual void releaseRepaints() {}

  // Brings the window to the model's place, visibility and enabled state: a control shows and
  // takes input only while each of its containers does.
  void follow();

 protected:
  // Where the window stands in the client area; a drop-down's window also holds its list.
  virtual layout::PixelRect windowPlace() const;
  // Creates the window at the control's place in the client area.
  HWND createWindow(const wchar_t* windowClass, const std::wstring& text, DWORD style,
                    DWORD exStyle = 0);
  // A change of the model that this kind shows itself.
  virtual void changed(forms::Property property) { (void)property; }
  // Runs a user's action as a handler of the form.
  void dispatch(const std::function<void()>& action);
  void applyFont();
  // Keeps a connection to the model until the window lets go of the control.
  void onDetach(std::function<void()> disconnect) { disconnects_.push_back(std::move(disconnect)); }

  FormWindow& owner_;
  forms::Control& control_;
  HWND hwnd_ = nullptr;

 private:
  void onChanged(forms::Property property);
  std::vector<std::function<void()>> disconnects_;
};

// The window of a control of any kind, not yet created.
std::unique_ptr<ControlWindow> makeControlWindow(FormWindow& owner, forms::Control& control);

}  // namespace karvelo::views::win32
