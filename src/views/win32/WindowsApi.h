// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The system's header for the view. The model names the list box's select-range message
// LB_SELITEMRANGE, as the system does; the system's macro of that name would rewrite the model's
// constant, so the macro goes and the view sends the model's constant, which has its value.
#include <windows.h>
#undef LB_SELITEMRANGE

namespace karvelo::views::win32 {

// Registers one of the program's window classes, once: the arrow pointer, no background of its
// own, and `extraBytes` per window for the class's default procedure.
inline void registerWindowClass(const wchar_t* name, WNDPROC procedure, int extraBytes = 0) {
  WNDCLASSEXW description{};
  description.cbSize = sizeof description;
  if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &description)) return;
  description.lpfnWndProc = procedure;
  description.cbWndExtra = extraBytes;
  description.hInstance = GetModuleHandleW(nullptr);
  description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  description.lpszClassName = name;
  RegisterClassExW(&description);
}

}  // namespace karvelo::views::win32
