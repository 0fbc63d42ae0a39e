// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/RunOutcomes.h"
#include "platform/posix/PosixProcesses.h"

namespace karvelo::platform {

// Outcome channels on POSIX: a pipe per run, both ends closed on execution, so that only the
// run's converters, which are handed the write end by number, hold it. A thread of the channel's
// own reads the records as they come until every writer has closed the pipe.
class PosixRunOutcomes final : public RunOutcomes {
 public:
  explicit PosixRunOutcomes(PosixProcesses& processes) : processes_(processes) {}

  std::unique_ptr<OutcomeChannel> open() override;
  std::string converterLog() const override;

 private:
  PosixProcesses& processes_;
};

}  // namespace karvelo::platform
