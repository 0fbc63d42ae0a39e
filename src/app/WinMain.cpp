// SPDX-License-Identifier: GPL-3.0-or-later
// Karvelo on Windows: the Win32 view, the Windows services and the main window.

#include "views/win32/WindowsApi.h"

#include "app/Win32Desktop.h"
#include "main_window/Form1.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace karvelo;
  app::Win32Desktop desktop;
  main_window::Form1 form(desktop.services());
  form.setFontMetrics(&desktop.view.fontMetrics());
  form.load();
  desktop.view.show(form);
  // Every way out ends the process from inside the loop, without destroying a window.
  desktop.view.run();
  ExitProcess(0);
}
