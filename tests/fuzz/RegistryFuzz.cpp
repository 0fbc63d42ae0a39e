// SPDX-License-Identifier: GPL-3.0-or-later
// The system-information lookup on registry values of any type, length and bytes, as a damaged
// or foreign registry may hold them at both places it looks. Every run ends in exactly one start
// of the tool or one message, and a start names a path made of the value as read.
#include "FuzzInput.h"

#include "about/frmAbout.h"
#include "fakes/FakeServices.h"

using namespace karvelo;
using karvelo::fakes::FakeRegistry;
using karvelo::fuzz::FuzzInput;
using karvelo::fuzz::require;

namespace {

// A value of the fuzzer's type and bytes, up to a little more than the reader's buffer, or none.
void putValue(FuzzInput& in, FakeRegistry& registry, const char* key, const char* name) {
  const std::uint8_t kind = in.byte();
  if (kind % 4 == 0) return;
  const std::uint32_t type = kind % 4 == 1 ? 1 : kind % 4 == 2 ? 4 : in.below(12);
  std::vector<std::uint8_t> bytes(in.below(1100));
  const std::string fill = in.text(255);
  for (std::size_t i = 0; i < bytes.size() && !fill.empty(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(fill[i % fill.size()]);
  }
  registry.set(key, name, {type, std::move(bytes)});
}

// Every path is a normal file, or none is.
class EveryOrNoFile final : public platform::FileSystem {
 public:
  explicit EveryOrNoFile(bool every) : every_(every) {}
  std::vector<std::string> filesIn(const std::string&) const override { return {}; }
  bool isNormalFile(const std::string&) const override { return every_; }

 private:
  bool every_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  fakes::FakeServices fake;
  putValue(in, fake.registry, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH");
  putValue(in, fake.registry, "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO");
  EveryOrNoFile files(in.flag());
  const bool failing = in.flag();
  fake.processes.onStart = [failing](const std::string& commandLine) {
    if (failing || commandLine.empty()) {
      throw RuntimeError(RuntimeError::FileNotFound, "cannot start " + commandLine);
    }
  };

  about::frmAbout about(fake.services({.files = &files}));
  about.StartSysInfo();
  const std::size_t messages = fake.messages.shown.size();
  const std::size_t starts = fake.processes.starts.size();
  require(messages + starts == 1, "one start or one message");
  require(fake.registry.openKeys.empty(), "every key opened is closed");
  return 0;
}
