// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PathStyle.h"
#include "resize_job/ConverterCommandLine.h"
#include "resize_job/ResizeRequest.h"

#include <cstdint>

namespace karvelo::forms {
class Form;
}
namespace karvelo::platform {
class Processes;
}

namespace karvelo::resize_job {

// The launch loop of Resize: shows the hourglass over the window, starts the converter once per
// chosen file in list order (minimized, without the focus, not waited for), redraws the progress
// bar with the share of files started after each start, and restores the default pointer.
// A failure (a start that fails, a failure while drawing) propagates to the caller's trap, with
// the files after the failing one not started.
void LaunchBatch(forms::Form& window, const ResizeRequest& request,
                 const ConverterSegments& segments, std::int16_t fileCount,
                 platform::Processes& processes, const platform::PathStyle& paths);

}  // namespace karvelo::resize_job
