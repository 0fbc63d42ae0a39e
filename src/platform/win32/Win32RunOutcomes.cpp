// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/Win32RunOutcomes.h"

#include <windows.h>

#include "common/ConverterLog.h"

#include <memory>

namespace karvelo::platform {

namespace {

// What the channel and its reading thread share: the end of the run is handed over by whichever
// comes last.
struct RunState {
  explicit RunState(HANDLE pipe) : readEnd(pipe) { ::InitializeCriticalSection(&lock); }
  ~RunState() {
    ::DeleteCriticalSection(&lock);
    ::CloseHandle(readEnd);
  }

  HANDLE readEnd;
  CRITICAL_SECTION lock;
  OutcomeChannel::Ended ended;
  std::size_t started = 0;
};

DWORD WINAPI readToTheEnd(void* parameter) {
  const std::shared_ptr<RunState> state(*static_cast<std::shared_ptr<RunState>*>(parameter));
  delete static_cast<std::shared_ptr<RunState>*>(parameter);
  common::OutcomeReader reader;
  std::vector<common::Outcome> outcomes;
  char buffer[16384];
  DWORD count = 0;
  // The read fails with a broken pipe once every write end is closed.
  while (::ReadFile(state->readEnd, buffer, sizeof buffer, &count, nullptr) && count > 0) {
    for (common::Outcome& outcome : reader.take({buffer, count})) {
      outcomes.push_back(std::move(outcome));
    }
  }
  ::EnterCriticalSection(&state->lock);
  OutcomeChannel::Ended ended = std::move(state->ended);
  const std::size_t started = state->started;
  ::LeaveCriticalSection(&state->lock);
  // No end is handed over for a channel dropped without being closed.
  if (ended) ended({started, std::move(outcomes)});
  return 0;
}

class Win32Channel final : public OutcomeChannel {
 public:
  Win32Channel(Win32Processes& processes, HANDLE writeEnd, std::shared_ptr<RunState> state)
      : processes_(processes), writeEnd_(writeEnd), state_(std::move(state)) {}
  ~Win32Channel() override {
    if (writeEnd_) ::CloseHandle(writeEnd_);
  }
  Win32Channel(const Win32Channel&) = delete;
  Win32Channel& operator=(const Win32Channel&) = delete;

  void start(const std::string& commandLine, int windowStyle) override {
    processes_.start(commandLine, windowStyle, writeEnd_, common::outcomeVariable);
    ++started_;
  }
  std::string programFolder() const override { return processes_.programFolder(); }

  void close(Ended ended) override {
    ::EnterCriticalSection(&state_->lock);
    state_->ended = std::move(ended);
    state_->started = started_;
    ::LeaveCriticalSection(&state_->lock);
    ::CloseHandle(writeEnd_);
    writeEnd_ = nullptr;
  }

 private:
  Win32Processes& processes_;
  HANDLE writeEnd_;
  std::shared_ptr<RunState> state_;
  std::size_t started_ = 0;
};

}  // namespace

std::unique_ptr<OutcomeChannel> Win32RunOutcomes::open() {
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  // Neither end inheritable; room for many records, though the thread reads them as they come.
  if (!::CreatePipe(&readEnd, &writeEnd, nullptr, 1 << 16)) return nullptr;
  auto state = std::make_shared<RunState>(readEnd);
  auto* handed = new std::shared_ptr<RunState>(state);
  const HANDLE thread = ::CreateThread(nullptr, 0, readToTheEnd, handed, 0, nullptr);
  if (thread == nullptr) {
    delete handed;
    ::CloseHandle(writeEnd);
    return nullptr;
  }
  ::CloseHandle(thread);
  return std::make_unique<Win32Channel>(processes_, writeEnd, std::move(state));
}

std::string Win32RunOutcomes::converterLog() const { return common::converterLogPath(); }

}  // namespace karvelo::platform
