// SPDX-License-Identifier: GPL-3.0-or-later
#include "resize_job/LaunchBatch.h"

#include "forms/Form.h"
#include "forms/RuntimeError.h"
#include "platform/Processes.h"
#include "resize_job/Module1.h"

namespace karvelo::resize_job {

void LaunchBatch(forms::Form& window, const ResizeRequest& request,
                 const ConverterSegments& segments, std::int16_t fileCount,
                 platform::Processes& processes, const platform::PathStyle& paths) {
  window.setMousePointer(forms::pointer::Hourglass);
  for (std::int16_t index = 0; index < fileCount; ++index) {
    const auto at = static_cast<std::size_t>(index);
    if (at >= request.FileNames.size()) {
      throw RuntimeError(RuntimeError::SubscriptOutOfRange, "no chosen file at that index");
    }
    processes.start(BuildConverterCommandLine(processes.programFolder(), request, segments,
                                              request.FileNames[at], paths),
                    platform::windowStyle::MinimizedNoFocus);
    // The count of files started so far. It is index + 1 rather than a counter that is increased
    // after the drawing: such a counter would pass 32767 after the last of 32767 files.
    const std::int16_t started = static_cast<std::int16_t>(index + 1);
    const auto fraction = static_cast<float>(static_cast<double>(started) / fileCount);
    Module1::UpdateProgressBar(fraction, window);
  }
  window.setMousePointer(forms::pointer::Default);
}

}  // namespace karvelo::resize_job
