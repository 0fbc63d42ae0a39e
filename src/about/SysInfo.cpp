// SPDX-License-Identifier: GPL-3.0-or-later
// frmAbout's system-information launcher: StartSysInfo and GetKeyValue.
#include <karvelo/Version.h>

#include <array>
#include <cstdint>
#include <cstdio>

#include "about/frmAbout.h"
#include "forms/RuntimeError.h"
#include "platform/MessageBoxes.h"
#include "platform/Processes.h"

namespace karvelo::about {

namespace {

using platform::Registry;

// Where the tool is looked up: the full path of the executable first, then the folder holding it.
constexpr const char* ToolPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* ToolPathValue = "PATH";
constexpr const char* ToolFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const char* ToolFolderValue = "MSINFO";
constexpr const char* ToolFileName = "\\MSINFO32.EXE";

// READ_CONTROL with the six basic key rights; not the full access of KEY_ALL_ACCESS.
constexpr std::uint32_t KeyAccess = 0x2003F;
constexpr std::size_t BufferSize = 1024;

// A DWORD's kept bytes as "&h" and two upper-case hex digits per byte, from the last byte to
// the first, so that the text reads as the value in hexadecimal.
std::string dwordText(const std::string& kept) {
  std::string text = "&h";
  for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned char>(*it));
    text += digits;
  }
  return text;
}

}  // namespace

void frmAbout::StartSysInfo() {
  try {
    std::string SysInfoPath;
    // A path from the first location is trusted as it stands: starting a bad one fails below.
    bool located = GetKeyValue(Registry::LocalMachine, ToolPathKey, ToolPathValue, SysInfoPath);
    // The folder and the file name are joined as they stand, even after a closing backslash.
    if (!located &&
        GetKeyValue(Registry::LocalMachine, ToolFolderKey, ToolFolderValue, SysInfoPath) &&
        services_.files.isNormalFile(SysInfoPath + ToolFileName)) {
      SysInfoPath += ToolFileName;
      located = true;
    }
    if (located) {
      services_.processes.start(SysInfoPath, platform::windowStyle::Normal);
      return;
    }
  } catch (const RuntimeError&) {
  }
  services_.messages.show(SysInfoUnavailable, platform::messageStyle::OkOnly, version::Title);
}

bool frmAbout::GetKeyValue(const Registry::Key& KeyRoot, const std::string& KeyName,
                           const std::string& SubKeyRef, std::string& KeyVal) {
  Registry& registry = services_.registry;
  Registry::Key hKey = 0;
  bool found = false;
  try {
    if (registry.openKey(KeyRoot, KeyName, 0, KeyAccess, hKey) == Registry::Success) {
      std::array<std::uint8_t, BufferSize> buffer{};
      std::uint32_t length = BufferSize;
      std::uint32_t type = 0;
      if (registry.queryValue(hKey, SubKeyRef, type, buffer.data(), length) == Registry::Success) {
        // The bytes as the code page's characters; the byte at the returned length is the last one
        // written, and a zero there is the stored terminator. There is no such byte for a length
        // of 0.
        if (length == 0 || length > BufferSize) {
          throw RuntimeError(RuntimeError::InvalidCall,
                             "registry value of length " + std::to_string(length));
        }
        std::string kept(reinterpret_cast<const char*>(buffer.data()), length);
        if (kept.back() == '\0') kept.pop_back();
        if (type == Registry::TypeString) {
          KeyVal = registry.valueText(kept);
        } else if (type == Registry::TypeDword) {
          KeyVal = dwordText(kept);
        }
        // Any other type leaves KeyVal as it was and still counts as read.
        found = true;
      }
    }
  } catch (...) {
    // The key is released here too; the failure goes on to the caller with KeyVal untouched.
    registry.closeKey(hKey);
    throw;
  }
  if (!found) KeyVal.clear();
  registry.closeKey(hKey);
  return found;
}

}  // namespace karvelo::about
