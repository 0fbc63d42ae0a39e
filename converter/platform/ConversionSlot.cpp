// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/platform/ConversionSlot.h"

#include "converter/platform/FileAccess.h"
#include "converter/platform/Process.h"

#include <algorithm>
#include <thread>

namespace karvelo::converter {

unsigned slotCount() { return std::max(1U, std::thread::hardware_concurrency()); }

void traceSlotEvent(char event) {
  if (const std::string path = environmentVariable("MULTICONV_SLOT_TRACE"); !path.empty()) {
    appendToFile(path, std::string{event, '\n'});
  }
}

}  // namespace karvelo::converter
