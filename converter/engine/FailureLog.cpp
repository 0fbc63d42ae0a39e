// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/engine/FailureLog.h"

#include "converter/platform/FileAccess.h"
#include "converter/platform/Process.h"

#include <chrono>
#include <cstdio>

namespace karvelo::converter {

namespace {

std::string oneLine(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 32 || c == 127) {
      c = '?';
    }
  }
  return text;
}

std::string utcStamp() {
  using namespace std::chrono;
  const auto now = floor<seconds>(system_clock::now());
  const auto day = floor<days>(now);
  const year_month_day date(day);
  const hh_mm_ss time(now - day);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(date.year()),
                unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                int(time.minutes().count()), int(time.seconds().count()));
  return stamp;
}

}  // namespace

void reportFailure(ExitCode code, const std::string& message, const std::string& commandLine) {
  const std::string text = oneLine(message);
  showError("multiconv: " + text + "\n");
  if (const std::string log = failureLogPath(); !log.empty()) {
    appendToFile(log, utcStamp() + " pid " + std::to_string(processId()) + " exit " +
                          std::to_string(static_cast<int>(code)) + ": " + text + " [" +
                          oneLine(commandLine) + "]\n");
  }
}

}  // namespace karvelo::converter
