// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/CommonControls.h"

#include <string>
#include <vector>

namespace karvelo::fakes {

// Records every call in order; loadLibrary hands out `nextHandle` (0 acts as a failed load).
class FakeCommonControls final : public platform::CommonControls {
 public:
  void initCommonControlsEx(const platform::InitCommonControlsRecord& record) override {
    records.push_back(record);
    calls.push_back("InitCommonControlsEx");
  }
  platform::ModuleHandle loadLibrary(const std::string& fileName) override {
    loadedNames.push_back(fileName);
    calls.push_back("LoadLibrary");
    return nextHandle;
  }
  void freeLibrary(platform::ModuleHandle handle) override {
    freedHandles.push_back(handle);
    calls.push_back("FreeLibrary");
  }

  platform::ModuleHandle nextHandle = 0x7C9C0000;
  std::vector<std::string> calls;
  std::vector<platform::InitCommonControlsRecord> records;
  std::vector<std::string> loadedNames;
  std::vector<platform::ModuleHandle> freedHandles;
};

}  // namespace karvelo::fakes
