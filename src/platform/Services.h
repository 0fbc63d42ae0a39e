// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Application.h"
#include "platform/CommonControls.h"
#include "platform/FileSystem.h"
#include "platform/FolderDialog.h"
#include "platform/MessageBoxes.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/RunOutcomes.h"
#include "platform/ShellOpen.h"
#include "platform/UserLocale.h"

namespace karvelo::platform {

// The platform services that the windows use, handed to each window when it is made.
// main() fills it with the platform's implementations, tests with fakes.
struct Services {
  Processes& processes;
  FileSystem& files;
  MessageBoxes& messages;
  Application& application;
  ShellOpen& shell;
  Registry& registry;
  CommonControls& commonControls;
  FolderDialog& folderDialog;
  UserLocale& locale;
  RunOutcomes& outcomes;
};

}  // namespace karvelo::platform
