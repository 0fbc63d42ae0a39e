// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/CommonControls.h"

namespace karvelo::platform {

// Outside Windows the toolkit draws its own themed controls: there is nothing to register and
// no shell library to load. Every call does nothing, and loading yields no handle.
class PosixCommonControls final : public CommonControls {
 public:
  void initCommonControlsEx(const InitCommonControlsRecord&) override {}
  ModuleHandle loadLibrary(const std::string&) override { return 0; }
  void freeLibrary(ModuleHandle) override {}
};

}  // namespace karvelo::platform
