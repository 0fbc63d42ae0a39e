#pragma once

#include "fakes/FakeApplication.h"
#include "fakes/FakeCommonControls.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/FakeMessageBoxes.h"
#include "fakes/FakeProcesses.h"
#include "fakes/FakeRegistry.h"
#include "fakes/FakeShellOpen.h"
#include "platform/Services.h"

namespace karvelo::fakes {

// Every fake service in one place; services() hands them to a window.
struct FakeServices {
  FakeProcesses processes;
  FakeFileSystem files;
  FakeMessageBoxes messages;
  FakeApplication application;
  FakeShellOpen shell;
  FakeRegistry registry;
  FakeCommonControls commonControls;

  platform::Services services() {
    return {processes, files, messages, application, shell, registry, commonControls};
  }
};

}  // namespace karvelo::fakes
