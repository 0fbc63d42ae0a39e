// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/core/PathStyle.h"
#include "platform/PathStyle.h"
#include "resize_job/ResizeRequest.h"

#include <optional>
#include <string>
#include <string_view>

namespace karvelo::testing {

// The platform a command line is built on and read back on.
struct LineStyle {
  platform::PathStyle paths;
  converter::PathStyle converter;
  std::string_view programFolder;
};

// Builds the converter's command line for the request's first file, as Resize does, and reads it
// back with the converter's own grammar. The request must pass CheckResizeRequest. Every such
// request either reads back into the same source, destination, method, value, prefix and suffix,
// or is a failed start (a double quote in a text, a ratio that is no number), or is refused by
// the converter as a usage error (a name part it cannot write, a size it cannot make). Gives what
// went otherwise, or nothing when all is as it must be.
std::optional<std::string> readBackFault(const resize_job::ResizeRequest& request,
                                         char decimalSeparator, const LineStyle& style);

}  // namespace karvelo::testing
