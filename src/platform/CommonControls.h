// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace karvelo::platform {

// The record that initialises the common controls (INITCOMMONCONTROLSEX): its own size in bytes
// and the set of control classes to register.
struct InitCommonControlsRecord {
  std::uint32_t dwSize = 0;
  std::uint32_t dwICC = 0;
  bool operator==(const InitCommonControlsRecord&) const = default;
};

// A loaded library's module handle; 0 for none.
using ModuleHandle = std::uintptr_t;

// The operating system's common-controls library and library loading, for the visual-style
// control. No call reports a failure: the caller looks at no result.
class CommonControls {
 public:
  virtual ~CommonControls() = default;
  // Registers the control classes named in the record.
  virtual void initCommonControlsEx(const InitCommonControlsRecord& record) = 0;
  // Loads the library of that file name and returns its handle, or 0 when it cannot be loaded.
  virtual ModuleHandle loadLibrary(const std::string& fileName) = 0;
  // Releases a handle that loadLibrary returned; 0 is refused without effect.
  virtual void freeLibrary(ModuleHandle handle) = 0;
};

}  // namespace karvelo::platform
