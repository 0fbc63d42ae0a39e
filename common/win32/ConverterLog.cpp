// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ConverterLog.h"

#include "common/win32/WideText.h"

#include <cstdlib>

namespace karvelo::common {

std::string converterLogPath() {
  const wchar_t* appData = ::_wgetenv(L"LOCALAPPDATA");
  if (appData == nullptr || *appData == L'\0') {
    return {};
  }
  return narrow(appData) + "\\Karvelo\\multiconv.log";
}

}  // namespace karvelo::common
