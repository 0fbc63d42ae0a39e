// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Services.h"
#include "platform/win32/Win32CommonControls.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32FolderDialog.h"
#include "platform/win32/Win32MessageBoxes.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32RunOutcomes.h"
#include "platform/win32/Win32ShellOpen.h"
#include "platform/win32/Win32UserLocale.h"
#include "views/win32/Win32View.h"

namespace karvelo::app {

// The program's services on Windows: the Win32 view shows the windows and ends the program,
// message boxes belong to the window whose handler asks for one, and the Windows
// implementations do the rest.
struct Win32Desktop {
  explicit Win32Desktop(
      views::win32::Win32View::Ending ending = views::win32::Win32View::endProcess)
      : view(std::move(ending)) {}

  views::win32::Win32View view;
  platform::Win32MessageBoxes messages{
      [this] { return reinterpret_cast<std::uintptr_t>(view.modalOwner()); }};
  platform::Win32FolderDialog folderDialog;
  platform::Win32Processes processes;
  platform::Win32FileSystem files;
  platform::Win32ShellOpen shell;
  platform::Win32Registry registry;
  platform::Win32CommonControls commonControls;
  platform::Win32UserLocale locale;
  platform::Win32RunOutcomes outcomes{processes};

  platform::Services services() {
    return {processes,      files,        messages, view,    shell,
            registry,       commonControls, folderDialog, locale, outcomes};
  }
};

}  // namespace karvelo::app
