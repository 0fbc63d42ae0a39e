// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/win32/PictureBoxWindow.h"

#include "views/layout/Placement.h"
#include "views/win32/Appearance.h"
#include "views/win32/FormWindow.h"
#include "views/win32/Wide.h"

namespace karvelo::views::win32 {

namespace {

constexpr const wchar_t* WindowClass = L"KarveloPictureBox";
}  // namespace

PictureBoxWindow::PictureBoxWindow(FormWindow& owner, forms::PictureBox& box)
    : ControlWindow(owner, box), box_(box) {}

void PictureBoxWindow::create(bool group) {
  registerWindowClass(WindowClass, procedure);
  createWindow(WindowClass, L"", group ? WS_GROUP : 0);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void PictureBoxWindow::changed(forms::Property property) {
  if (property == forms::Property::Drawing) {
    // Refresh: on the screen now.
    InvalidateRect(hwnd_, nullptr, FALSE);
    UpdateWindow(hwnd_);
  }
  if (property == forms::Property::Colors) InvalidateRect(hwnd_, nullptr, FALSE);
}

LRESULT CALLBACK PictureBoxWindow::procedure(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  auto* self = reinterpret_cast<PictureBoxWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the paint covers everything
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (self) self->paint(dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONUP: {
      RECT client{};
      GetClientRect(hwnd, &client);
      const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (self && PtInRect(&client, at)) self->dispatch([self] { self->box_.click(); });
      return 0;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void PictureBoxWindow::paint(HDC dc) {
  Appearance& appearance = owner_.appearance();
  RECT client{};
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, appearance.brush(box_.BackColor()));
  if (box_.bordered()) DrawEdge(dc, &client, EDGE_SUNKEN, BF_RECT);

  const int edge = layout::innerEdge(&box_, appearance.scale());
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, client.left + edge, client.top + edge, client.right - edge,
                    client.bottom - edge);
  if (HBITMAP picture = appearance.picture(box_.Picture())) {
    BITMAP size{};
    GetObjectW(picture, sizeof size, &size);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, picture);
    BitBlt(dc, edge, edge, size.bmWidth, size.bmHeight, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
  }
  owner_.paintLines(dc, &box_, POINT{edge, edge});
  // Printed text hangs from its print position: the position is the top left of the line.
  SetBkMode(dc, TRANSPARENT);
  for (const forms::PrintedText& printed : box_.drawing()) {
    SelectObject(dc, appearance.font(printed.font));
    SetTextColor(dc, Appearance::color(printed.color));
    const std::wstring text = widen(printed.text);
    TextOutW(dc, edge + appearance.scale().toPixels(printed.x),
             edge + appearance.scale().toPixels(printed.y), text.c_str(),
             static_cast<int>(text.size()));
  }
  RestoreDC(dc, saved);
}

}  // namespace karvelo::views::win32
