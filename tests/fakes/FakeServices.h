// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fakes/FakeApplication.h"
#include "fakes/FakeCommonControls.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeFolderDialog.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeProcesses.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeRunOutcomes.h"
#include "fakes/FakeShellOpen.h"
#include "fakes/FakeUserLocale.h"
#include "platform/Services.h"

namespace karvelo::fakes {

// Real services, or a view, that a test hands to a window instead of some of the fakes.
struct Instead {
  platform::Processes* processes = nullptr;
  platform::FileSystem* files = nullptr;
  platform::MessageBoxes* messages = nullptr;
  platform::Application* application = nullptr;
  platform::FolderDialog* folderDialog = nullptr;
  platform::Registry* registry = nullptr;
  platform::UserLocale* locale = nullptr;
  platform::RunOutcomes* outcomes = nullptr;
};

// Every fake service in one place; services() hands them to a window.
struct FakeServices {
  FakeProcesses processes;
  FakeFileSystem files;
  FakeMessageBoxes messages;
  FakeApplication application;
  FakeShellOpen shell;
  FakeRegistry registry;
  FakeCommonControls commonControls;
  FakeFolderDialog folderDialog;
  FakeUserLocale locale;
  // Its converters are started by the processes that services() hands out.
  FakeRunOutcomes outcomes{processes};

  platform::Services services(const Instead& instead = {}) {
    outcomes.processes = instead.processes ? instead.processes : &processes;
    return {instead.processes ? *instead.processes : processes,
            instead.files ? *instead.files : files,
            instead.messages ? *instead.messages : messages,
            instead.application ? *instead.application : application,
            shell,
            instead.registry ? *instead.registry : registry,
            commonControls,
            instead.folderDialog ? *instead.folderDialog : folderDialog,
            instead.locale ? *instead.locale : locale,
            instead.outcomes ? *instead.outcomes : outcomes};
  }
};

}  // namespace karvelo::fakes
