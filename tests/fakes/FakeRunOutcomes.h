// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/RunOutcomes.h"

#include <memory>
#include <string>
#include <vector>

namespace karvelo::fakes {

// Channels whose converters are started by the given processes, and whose end a test brings
// about with `end`.
class FakeRunOutcomes final : public platform::RunOutcomes {
 public:
  struct Run {
    std::size_t started = 0;
    bool closed = false;
    platform::OutcomeChannel::Ended ended;
  };

  explicit FakeRunOutcomes(platform::Processes& processes) : processes(&processes) {}

  std::unique_ptr<platform::OutcomeChannel> open() override {
    if (!available) return nullptr;
    runs.push_back(std::make_shared<Run>());
    return std::make_unique<Channel>(*processes, runs.back());
  }
  std::string converterLog() const override { return log; }

  // Ends a closed run with the records given.
  void end(std::size_t run, std::vector<common::Outcome> outcomes) {
    runs.at(run)->ended({runs.at(run)->started, std::move(outcomes)});
  }

  platform::Processes* processes;
  bool available = true;
  std::string log = "/home/user/.local/state/karvelo/multiconv.log";
  std::vector<std::shared_ptr<Run>> runs;

 private:
  class Channel final : public platform::OutcomeChannel {
   public:
    Channel(platform::Processes& processes, std::shared_ptr<Run> run)
        : processes_(processes), run_(std::move(run)) {}
    void start(const std::string& commandLine, int windowStyle) override {
      processes_.start(commandLine, windowStyle);
      ++run_->started;
    }
    std::string programFolder() const override { return processes_.programFolder(); }
    void close(Ended ended) override {
      run_->closed = true;
      run_->ended = std::move(ended);
    }

   private:
    platform::Processes& processes_;
    std::shared_ptr<Run> run_;
  };
};

}  // namespace karvelo::fakes
