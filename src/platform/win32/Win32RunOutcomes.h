// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/RunOutcomes.h"
#include "platform/win32/Win32Processes.h"

namespace karvelo::platform {

// Outcome channels on Windows: an anonymous pipe per run whose write end is inheritable only
// while one of the run's converters is being created, which finds its value in the environment.
// A thread of the channel's own reads the records as they come until every writer has closed the
// pipe.
class Win32RunOutcomes final : public RunOutcomes {
 public:
  explicit Win32RunOutcomes(Win32Processes& processes) : processes_(processes) {}

  std::unique_ptr<OutcomeChannel> open() override;
  std::string converterLog() const override;

 private:
  Win32Processes& processes_;
};

}  // namespace karvelo::platform
