// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Outcome.h"
#include "platform/Processes.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace karvelo::platform {

// How a run of converters ended: how many were started, and the records of those that wrote one
// (a converter that was killed or crashed wrote none).
struct RunEnd {
  std::size_t started = 0;
  std::vector<common::Outcome> outcomes;
};

// One run's outcome channel. The converters started through it (and no other process) inherit its
// write end, found through an environment variable; each writes one record as it ends. The
// program keeps reading the channel meanwhile, so that no converter waits on a full one.
class OutcomeChannel : public Processes {
 public:
  using Ended = std::function<void(RunEnd)>;

  // Gives up the program's own write end: the run ends once every converter started through the
  // channel has ended (at once when none was started). `ended` runs once, then, on a thread of
  // the channel's own; the channel may be destroyed before that.
  virtual void close(Ended ended) = 0;
};

// Opens outcome channels and knows where the converter logs its failures.
class RunOutcomes {
 public:
  virtual ~RunOutcomes() = default;
  // A channel for a new run, or none where the system cannot give one (the run then goes
  // without).
  virtual std::unique_ptr<OutcomeChannel> open() = 0;
  // The converter's log of failures, as its message names it.
  virtual std::string converterLog() const = 0;
};

}  // namespace karvelo::platform
