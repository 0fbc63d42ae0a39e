// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/win32/FormWindow.h"

#include <algorithm>

#include "forms/CommandButton.h"
#include "forms/Form.h"
#include "forms/Line.h"
#include "forms/MenuEntry.h"
#include "views/layout/Placement.h"
#include "views/layout/TabOrder.h"
#include "views/win32/Appearance.h"
#include "views/win32/ControlWindow.h"
#include "views/win32/Wide.h"
#include "views/win32/Win32View.h"

namespace karvelo::views::win32 {

namespace {

constexpr const wchar_t* WindowClass = L"KarveloForm";
// Menu entry IDs lie above the controls' child window IDs.
constexpr WORD FirstMenuId = 0x1000;

DWORD frameStyle(const forms::Form& form) {
  // A fixed border: no sizing frame; the close box and system menu; minimize and maximize boxes
  // only where the form asks for them.
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
  if (form.minButton) style |= WS_MINIMIZEBOX;
  if (form.maxButton) style |= WS_MAXIMIZEBOX;
  return style;
}

DWORD frameExStyle(const forms::Form& form) {
  DWORD style = WS_EX_CONTROLPARENT;
  if (form.borderStyle == forms::BorderStyle::FixedDialog) style |= WS_EX_DLGMODALFRAME;
  return style;
}

}  // namespace

FormWindow::FormWindow(Win32View& view, forms::Form& form) : view_(view), form_(form) {
  createFrame();
  createMenuBar();
  fitClientArea();
  createControls();
  form_.hWnd = reinterpret_cast<std::uintptr_t>(hwnd_);
  changedId_ = form_.changed.connect([this](forms::Property p) {
    if (p == forms::Property::Caption) SetWindowTextW(hwnd_, widen(form_.Caption()).c_str());
    if (p == forms::Property::MousePointer) refreshCursor();
  });
  unloadedId_ = form_.unloaded.connect([this] { view_.discard(form_); });
}

FormWindow::~FormWindow() {
  detach();
  destroy();
}

Appearance& FormWindow::appearance() const { return view_.appearance(); }

void FormWindow::createFrame() {
  // Room for the dialog procedure's own data: the window takes its default behaviour (focus,
  // Tab, default and cancel buttons) from the dialog procedure.
  registerWindowClass(WindowClass, procedure, DLGWINDOWEXTRA);
  hwnd_ = CreateWindowExW(frameExStyle(form_), WindowClass, widen(form_.Caption()).c_str(),
                          frameStyle(form_), CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  // The title bar and the task bar show the form's icon, at their two sizes.
  for (auto [which, metric] :
       {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
    if (HICON icon = Appearance::icon(form_.icon, GetSystemMetrics(metric))) {
      SendMessageW(hwnd_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
    }
  }
}

void FormWindow::createMenuBar() {
  if (form_.menus().empty()) return;
  HMENU bar = CreateMenu();
  WORD id = FirstMenuId;
  const auto flags = [](const forms::MenuEntry& entry) {
    return MF_STRING | (entry.Enabled ? MF_ENABLED : MF_GRAYED) |
           (entry.Checked ? MF_CHECKED : MF_UNCHECKED);
  };
  for (forms::MenuEntry* top : form_.menus()) {
    if (!top->Visible) continue;
    if (top->entries().empty()) {
      menuEntries_[id] = top;
      AppendMenuW(bar, flags(*top), id++, widen(top->Caption()).c_str());
      continue;
    }
    HMENU menu = CreatePopupMenu();
    for (forms::MenuEntry* entry : top->entries()) {
      if (!entry->Visible) continue;
      menuEntries_[id] = entry;
      AppendMenuW(menu, flags(*entry), id++, widen(entry->Caption()).c_str());
    }
    AppendMenuW(bar, MF_POPUP | (top->Enabled ? MF_ENABLED : MF_GRAYED),
                reinterpret_cast<UINT_PTR>(menu), widen(top->Caption()).c_str());
  }
  SetMenu(hwnd_, bar);
}

void FormWindow::fitClientArea() {
  const layout::PixelScale scale = appearance().scale();
  const int width = scale.toPixels(form_.clientWidth());
  const int height = scale.toPixels(form_.clientHeight());
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, frameStyle(form_), GetMenu(hwnd_) != nullptr, frameExStyle(form_));
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // A menu bar that wraps onto a second line takes more room than the estimate: make up for it.
  RECT client{};
  GetClientRect(hwnd_, &client);
  if (client.bottom != height || client.right != width) {
    RECT outer{};
    GetWindowRect(hwnd_, &outer);
    SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left + width - client.right,
                 outer.bottom - outer.top + height - client.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void FormWindow::createControls() {
  // Created and stacked top first in the order the dialog manager walks.
  const std::vector<forms::Control*> order = layout::stackingOrder(form_);
  HWND above = HWND_TOP;
  for (std::size_t i = 0; i < order.size(); ++i) {
    std::unique_ptr<ControlWindow> window = makeControlWindow(*this, *order[i]);
    window->create(layout::startsGroup(order, i));
    if (HWND child = window->hwnd()) {
      SetWindowPos(child, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      above = child;
      byHandle_[child] = window.get();
    }
    controls_.push_back(std::move(window));
  }
  // Enter presses the form's default button wherever the focus is.
  for (forms::Control* control : form_.controls()) {
    if (auto* button = dynamic_cast<forms::CommandButton*>(control); button && button->isDefault) {
      if (HWND child = handleOf(*button)) SendMessageW(hwnd_, DM_SETDEFID, GetDlgCtrlID(child), 0);
    }
  }
}

HWND FormWindow::handleOf(const forms::Control& control) const {
  for (const auto& window : controls_) {
    if (&window->control() == &control) return window->hwnd();
  }
  return nullptr;
}

ControlWindow* FormWindow::find(HWND hwnd) const {
  auto it = byHandle_.find(hwnd);
  return it == byHandle_.end() ? nullptr : it->second;
}

void FormWindow::show() {
  if (!hwnd_) return;
  if (shown_) {
    if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
    SetForegroundWindow(hwnd_);
    BringWindowToTop(hwnd_);
    return;
  }
  shown_ = true;
  if (form_.centerOnScreen) {
    RECT outer{};
    GetWindowRect(hwnd_, &outer);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    SetWindowPos(hwnd_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  if (forms::Control* first = form_.initialFocus()) {
    if (HWND child = handleOf(*first))
      SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(child), TRUE);
  }
  UpdateWindow(hwnd_);
}

void FormWindow::detach() {
  if (!attached_) return;
  attached_ = false;
  form_.changed.disconnect(changedId_);
  form_.unloaded.disconnect(unloadedId_);
  for (auto& window : controls_) window->detach();
  form_.hWnd = 0;
}

void FormWindow::destroy() {
  if (hwnd_) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

void FormWindow::dispatch(const std::function<void()>& action) {
  if (attached_) view_.dispatch(form_, action);
}

void FormWindow::releaseLists() {
  for (auto& window : controls_) window->releaseRepaints();
}

void FormWindow::follow(const forms::Control& container) {
  for (auto& window : controls_) {
    for (const forms::Control* c = &window->control(); c; c = c->container()) {
      if (c == &container) {
        window->follow();
        break;
      }
    }
  }
}

void FormWindow::paintLines(HDC dc, const forms::Control* container, POINT origin) const {
  const layout::PixelScale scale = appearance().scale();
  for (forms::Control* control : form_.controls()) {
    auto* line = dynamic_cast<forms::Line*>(control);
    if (!line || line->container() != container || !line->Visible()) continue;
    const int width = std::max(1, line->BorderWidth);
    HPEN pen = CreatePen(PS_SOLID, width, Appearance::color(line->BorderColor()));
    HGDIOBJ old = SelectObject(dc, pen);
    // The pen's width lies below and right of the line, inside its bounds.
    const int shift = width / 2;
    MoveToEx(dc, origin.x + scale.toPixels(line->X1) + shift,
             origin.y + scale.toPixels(line->Y1) + shift, nullptr);
    LineTo(dc, origin.x + scale.toPixels(line->X2) + shift,
           origin.y + scale.toPixels(line->Y2) + shift);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
}

bool FormWindow::setCursor(HWND under) const {
  int pointer = form_.MousePointer();
  if (ControlWindow* window = find(under);
      window && window->control().MousePointer() != forms::pointer::Default) {
    pointer = window->control().MousePointer();
  }
  HCURSOR cursor = Appearance::cursor(pointer);
  if (!cursor) return false;
  SetCursor(cursor);
  return true;
}

void FormWindow::refreshCursor() const {
  POINT at{};
  GetCursorPos(&at);
  HWND under = WindowFromPoint(at);
  if (!under || GetAncestor(under, GA_ROOT) != hwnd_) return;
  // What the pointer shows over it now, also while a handler keeps messages from being taken.
  if (!setCursor(under)) SetCursor(LoadCursorW(nullptr, IDC_ARROW));
}

void FormWindow::command(WORD id, WORD code, HWND from) {
  if (from) {
    if (ControlWindow* window = find(from)) window->command(code);
    return;
  }
  if (id == IDOK) {
    // Enter: the button that has the focus, else the form's default button.
    if (ControlWindow* focused = find(GetFocus());
        focused && focused->control().kind() == forms::ControlKind::CommandButton) {
      focused->command(BN_CLICKED);
    } else {
      dispatch([this] { form_.pressEnter(); });
    }
  } else if (id == IDCANCEL) {
    dispatch([this] { form_.pressEscape(); });
  } else if (auto it = menuEntries_.find(id); it != menuEntries_.end() && code == 0) {
    forms::MenuEntry* entry = it->second;
    dispatch([entry] { entry->click(); });
  }
}

LRESULT CALLBACK FormWindow::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<FormWindow*>(create->lpCreateParams)->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    if (self) self->hwnd_ = nullptr;
    self = nullptr;
  }
  return self ? self->handle(message, wParam, lParam) : DefDlgProcW(hwnd, message, wParam, lParam);
}

LRESULT FormWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      if (ControlWindow* window = find(reinterpret_cast<HWND>(lParam))) {
        if (HBRUSH brush = window->colors(reinterpret_cast<HDC>(wParam))) {
          return reinterpret_cast<LRESULT>(brush);
        }
      }
      break;
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(hwnd_, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, appearance().brush(form_.BackColor()));
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      paintLines(dc, nullptr, POINT{0, 0});
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && setCursor(reinterpret_cast<HWND>(wParam))) return TRUE;
      break;
    case WM_CLOSE:
      // The close box, the system menu and Alt+F4 unload the form, as its Exit would.
      dispatch([this] { form_.Unload(); });
      return 0;
    default:
      break;
  }
  return DefDlgProcW(hwnd_, message, wParam, lParam);
}

}  // namespace karvelo::views::win32
