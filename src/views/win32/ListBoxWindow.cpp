// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/win32/ListBoxWindow.h"

#include <algorithm>
#include <vector>

#include "views/win32/Appearance.h"
#include "views/win32/FormWindow.h"
#include "views/win32/Win32View.h"
#include "views/win32/Wide.h"

namespace karvelo::views::win32 {

ListBoxWindow::ListBoxWindow(FormWindow& owner, forms::ListBox& list)
    : ControlWindow(owner, list), list_(list) {
  const int id = list.listChanged.connect([this](const forms::ListChange& c) { onListChanged(c); });
  onDetach([&list, id] { list.listChanged.disconnect(id); });
}

void ListBoxWindow::create(bool group) {
  DWORD style = LBS_EXTENDEDSEL | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
  if (group) style |= WS_GROUP;
  if (list_.TabIndex()) style |= WS_TABSTOP;
  createWindow(L"LISTBOX", L"", style, WS_EX_CLIENTEDGE);
  for (int i = 0; i < list_.ListCount(); ++i) insert(i);
  showSelection(0, list_.ListCount() - 1);
}

void ListBoxWindow::insert(int index) {
  SendMessageW(hwnd_, LB_INSERTSTRING, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(widen(list_.List(index)).c_str()));
}

void ListBoxWindow::onListChanged(const forms::ListChange& change) {
  if (!hwnd_ || change.about) return;
  if (change.kind != forms::ListChange::Selection) holdRepaints();
  switch (change.kind) {
    case forms::ListChange::Insert:
      for (int i = change.first; i <= change.last; ++i) insert(i);
      break;
    case forms::ListChange::Remove:
      for (int i = change.last; i >= change.first; --i) {
        SendMessageW(hwnd_, LB_DELETESTRING, static_cast<WPARAM>(i), 0);
      }
      break;
    case forms::ListChange::Reset:
      SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
      for (int i = 0; i < list_.ListCount(); ++i) insert(i);
      showSelection(0, list_.ListCount() - 1);
      break;
    case forms::ListChange::Selection:
      if (!showing_) showSelection(change.first, change.last);
      break;
  }
}

// Runs of entries of the same state go in one message each.
void ListBoxWindow::showSelection(int first, int last) {
  showing_ = true;
  for (int start = first; start <= last;) {
    const bool selected = list_.Selected(start);
    int end = start;
    while (end < last && list_.Selected(end + 1) == selected) ++end;
    SendMessageW(hwnd_, forms::ListBox::LB_SELITEMRANGE, selected ? TRUE : FALSE,
                 MAKELPARAM(start, end));
    start = end + 1;
  }
  showing_ = false;
}

void ListBoxWindow::command(WORD code) {
  if (code != LBN_SELCHANGE || showing_) return;
  // The user's selection, entry by entry, into the model.
  const int count = static_cast<int>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0));
  std::vector<bool> selected(static_cast<std::size_t>(count), false);
  const int chosen = static_cast<int>(SendMessageW(hwnd_, LB_GETSELCOUNT, 0, 0));
  if (chosen > 0) {
    std::vector<int> indexes(static_cast<std::size_t>(chosen));
    SendMessageW(hwnd_, LB_GETSELITEMS, static_cast<WPARAM>(chosen),
                 reinterpret_cast<LPARAM>(indexes.data()));
    for (int i : indexes) selected[static_cast<std::size_t>(i)] = true;
  }
  dispatch([this, &selected] {
    showing_ = true;
    const int n = std::min(list_.ListCount(), static_cast<int>(selected.size()));
    for (int i = 0; i < n; ++i) list_.setSelected(i, selected[static_cast<std::size_t>(i)]);
    showing_ = false;
  });
}

HBRUSH ListBoxWindow::colors(HDC dc) {
  SetTextColor(dc, Appearance::color(list_.ForeColor()));
  SetBkColor(dc, Appearance::color(list_.BackColor()));
  return owner_.appearance().brush(list_.BackColor());
}

void ListBoxWindow::holdRepaints() {
  if (held_ || !owner_.view().inHandler()) return;
  SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
  held_ = true;
}

void ListBoxWindow::releaseRepaints() {
  if (!held_) return;
  held_ = false;
  SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
}

}  // namespace karvelo::views::win32
