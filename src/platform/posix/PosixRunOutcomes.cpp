// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/PosixRunOutcomes.h"

#include "common/ConverterLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <system_error>
#include <thread>

namespace karvelo::platform {

namespace {

// What the channel and its reading thread share: the end of the run is handed over by whichever
// comes last.
struct RunState {
  std::mutex mutex;
  OutcomeChannel::Ended ended;
  std::size_t started = 0;
};

void readToTheEnd(int pipe, const std::shared_ptr<RunState>& state) {
  common::OutcomeReader reader;
  std::vector<common::Outcome> outcomes;
  char buffer[16384];
  for (;;) {
    const ssize_t count = ::read(pipe, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    for (common::Outcome& outcome : reader.take({buffer, static_cast<std::size_t>(count)})) {
      outcomes.push_back(std::move(outcome));
    }
  }
  ::close(pipe);
  OutcomeChannel::Ended ended;
  std::size_t started = 0;
  {
    const std::lock_guard lock(state->mutex);
    ended = std::move(state->ended);
    started = state->started;
  }
  // No end is handed over for a channel dropped without being closed.
  if (ended) ended({started, std::move(outcomes)});
}

class PosixChannel final : public OutcomeChannel {
 public:
  PosixChannel(PosixProcesses& processes, int writeEnd, std::shared_ptr<RunState> state)
      : processes_(processes), writeEnd_(writeEnd), state_(std::move(state)) {}
  ~PosixChannel() override {
    if (writeEnd_ >= 0) ::close(writeEnd_);
  }
  PosixChannel(const PosixChannel&) = delete;
  PosixChannel& operator=(const PosixChannel&) = delete;

  void start(const std::string& commandLine, int) override {
    processes_.start(commandLine, {writeEnd_, common::outcomeVariable});
    ++started_;
  }
  std::string programFolder() const override { return processes_.programFolder(); }

  void close(Ended ended) override {
    {
      const std::lock_guard lock(state_->mutex);
      state_->ended = std::move(ended);
      state_->started = started_;
    }
    ::close(writeEnd_);
    writeEnd_ = -1;
  }

 private:
  PosixProcesses& processes_;
  int writeEnd_;
  std::shared_ptr<RunState> state_;
  std::size_t started_ = 0;
};

}  // namespace

std::unique_ptr<OutcomeChannel> PosixRunOutcomes::open() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return nullptr;
  auto state = std::make_shared<RunState>();
  try {
    std::thread(readToTheEnd, ends[0], state).detach();
  } catch (const std::system_error&) {
    ::close(ends[0]);
    ::close(ends[1]);
    return nullptr;
  }
  return std::make_unique<PosixChannel>(processes_, ends[1], std::move(state));
}

std::string PosixRunOutcomes::converterLog() const { return common::converterLogPath(); }

}  // namespace karvelo::platform
