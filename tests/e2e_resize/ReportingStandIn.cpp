// SPDX-License-Identifier: GPL-3.0-or-later
// Takes the converter's place for a run of tens of thousands of files: converts nothing, and only
// reports on the run's outcome channel, as the converter does at its end. A source whose name
// ends in "7.jpg" fails as a damaged picture.

#include "common/Outcome.h"

#include <cstdlib>
#include <string>
#include <string_view>

#include <unistd.h>

int main(int argc, char** argv) {
  std::string source;
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]).starts_with("/s:")) source = argv[i] + 3;
  }
  const int code = source.ends_with("7.jpg") ? 5 : 0;
  if (const char* channel = std::getenv(karvelo::common::outcomeVariable)) {
    const std::string record = karvelo::common::encodeOutcome({source, code, ""});
    [[maybe_unused]] const ssize_t written =
        ::write(std::atoi(channel), record.data(), record.size());
  }
  return code;
}
