// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PathStyle.h"
#include "resize_job/ResizeRequest.h"

#include <string>

namespace karvelo::resize_job {

// The parts of the converter's command line that are the same for every file of one press.
struct ConverterSegments {
  std::string method;  // " /m:r /r:0.25", " /m:hr /h:480", " /m:w /w:640 "
  std::string naming;  // " /o", " /pre:t " or empty
  std::string suffix;  // " /suf:-small" or empty
};

// Builds the method, naming and suffix segments of a request that passed CheckResizeRequest.
// For the ratio method the ratio text is converted to a number and divided by 100; a text that
// is not a number is a run-time failure (type mismatch). The typed height, width, prefix and
// suffix are copied as typed, in double quotes when they hold a blank, so that each reaches the
// converter as one value and never as further switches; one holding a double quote is a failed
// start (a run-time failure).
ConverterSegments PrepareConverterSegments(const ResizeRequest& request, char decimalSeparator);

// The command line that starts the converter for one chosen file:
//   <program folder><sep><converter> /s:"<source folder><sep><file>" /d:"<dest folder>"
// followed by the three segments. Nothing is trimmed, added or escaped; the two paths are
// quoted. A double quote inside a quoted path cannot be carried by the command line: such a file
// is a run-time failure rather than a command line whose quotes pair up wrongly.
std::string BuildConverterCommandLine(const std::string& programFolder,
                                      const ResizeRequest& request,
                                      const ConverterSegments& segments,
                                      const std::string& fileName,
                                      const platform::PathStyle& paths);

}  // namespace karvelo::resize_job
