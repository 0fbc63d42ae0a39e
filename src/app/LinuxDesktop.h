// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Services.h"
#include "platform/posix/PosixCommonControls.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProcesses.h"
#include "platform/posix/PosixRegistry.h"
#include "platform/posix/PosixRunOutcomes.h"
#include "platform/posix/PosixShellOpen.h"
#include "platform/posix/PosixUserLocale.h"
#include "views/qt/QtView.h"
#include "views/qt/folder_dialog/QtFolderDialog.h"

namespace karvelo::app {

// The program's services on a Linux desktop: the Qt view shows the windows and message boxes,
// the Qt folder dialog picks folders, and the POSIX implementations do the rest.
struct LinuxDesktop {
  views::qt::QtView view;
  views::qt::QtFolderDialog folderDialog;
  platform::PosixProcesses processes;
  platform::PosixFileSystem files;
  platform::PosixShellOpen shell;
  platform::PosixRegistry registry;
  platform::PosixCommonControls commonControls;
  platform::PosixUserLocale locale;
  platform::PosixRunOutcomes outcomes{processes};

  platform::Services services() { return services(files); }
  // With another folder listing, for measurements on folders that exist only in memory.
  platform::Services services(platform::FileSystem& listing) {
    return {processes,      listing,      view,   view,    shell,
            registry,       commonControls, folderDialog, locale, outcomes};
  }
};

}  // namespace karvelo::app
