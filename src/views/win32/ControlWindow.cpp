// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/win32/ControlWindow.h"

#include "forms/Form.h"
#include "views/win32/Appearance.h"
#include "views/win32/FormWindow.h"

namespace karvelo::views::win32 {

namespace {

// Child window IDs start above the dialog manager's own (IDOK, IDCANCEL) and below the menus'.
constexpr int FirstControlId = 0x100;

int controlId(const forms::Control& control) {
  const auto& all = control.form().controls();
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i] == &control) return FirstControlId + static_cast<int>(i);
  }
  return FirstControlId - 1;
}

}  // namespace

ControlWindow::ControlWindow(FormWindow& owner, forms::Control& control)
    : owner_(owner), control_(control) {
  const int id = control.changed.connect([this](forms::Property p) { onChanged(p); });
  onDetach([&control, id] { control.changed.disconnect(id); });
}

ControlWindow::~ControlWindow() { detach(); }

void ControlWindow::detach() {
  for (auto& disconnect : disconnects_) disconnect();
  disconnects_.clear();
}

void ControlWindow::onChanged(forms::Property property) {
  switch (property) {
    case forms::Property::Geometry:
    case forms::Property::Visible:
    case forms::Property::Enabled:
      owner_.follow(control_);
      break;
    case forms::Property::Font:
      applyFont();
      break;
    case forms::Property::MousePointer:
      owner_.refreshCursor();
      break;
    default:
      break;
  }
  changed(property);
}

layout::PixelRect ControlWindow::windowPlace() const {
  return layout::placeInClient(control_, owner_.appearance().scale());
}

HWND ControlWindow::createWindow(const wchar_t* windowClass, const std::wstring& text, DWORD style,
                                 DWORD exStyle) {
  const layout::PixelRect r = windowPlace();
  hwnd_ = CreateWindowExW(exStyle, windowClass, text.c_str(), WS_CHILD | WS_CLIPSIBLINGS | style,
                          r.left, r.top, r.width, r.height, owner_.hwnd(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(control_))),
                          GetModuleHandleW(nullptr), nullptr);
  applyFont();
  follow();
  return hwnd_;
}

void ControlWindow::applyFont() {
  if (!hwnd_) return;
  SendMessageW(hwnd_, WM_SETFONT,
               reinterpret_cast<WPARAM>(owner_.appearance().font(control_.Font())), TRUE);
}

void ControlWindow::follow() {
  if (!hwnd_) return;
  const layout::PixelRect r = windowPlace();
  RECT now{};
  GetWindowRect(hwnd_, &now);
  MapWindowPoints(nullptr, owner_.hwnd(), reinterpret_cast<POINT*>(&now), 2);
  if (now.left != r.left || now.top != r.top || now.right - now.left != r.width ||
      now.bottom - now.top != r.height) {
    SetWindowPos(hwnd_, nullptr, r.left, r.top, r.width, r.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  bool visible = true;
  bool enabled = true;
  for (const forms::Control* c = &control_; c; c = c->container()) {
    visible = visible && c->Visible();
    enabled = enabled && c->Enabled();
  }
  if ((IsWindowEnabled(hwnd_) != FALSE) != enabled) EnableWindow(hwnd_, enabled);
  const bool shown = (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
  if (shown != visible) ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void ControlWindow::dispatch(const std::function<void()>& action) { owner_.dispatch(action); }

}  // namespace karvelo::views::win32
