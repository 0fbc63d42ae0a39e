// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/CommonControls.h"

namespace karvelo::platform {

// comctl32 InitCommonControlsEx, kernel32 LoadLibraryA and FreeLibrary.
class Win32CommonControls final : public CommonControls {
 public:
  void initCommonControlsEx(const InitCommonControlsRecord& record) override;
  ModuleHandle loadLibrary(const std::string& fileName) override;
  void freeLibrary(ModuleHandle handle) override;
};

}  // namespace karvelo::platform
