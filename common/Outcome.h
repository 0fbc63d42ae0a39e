// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// What a converter tells the program that started it when it ends: one record on the run's
// outcome channel, a pipe whose write end the converter inherits and finds through an
// environment variable (a descriptor number on POSIX, a handle value on Windows). The program
// sees the run end when every converter of it has closed the pipe.
namespace karvelo::common {

inline constexpr const char* outcomeVariable = "MULTICONV_OUTCOME";

// A record is written in one piece, so that records of converters ending at once never mix: a
// pipe takes a write of up to 4096 bytes whole on every system.
inline constexpr std::size_t outcomeRecordLimit = 4096;

struct Outcome {
  std::string source;  // the source file as the command line named it
  int exitCode = 0;
  std::string message;  // the one-line message of a failure; empty on success

  bool operator==(const Outcome&) const = default;
};

// The record: the exit code in decimal, the source and the message, each field ending in a NUL
// (which no path or message holds). A message that would make the record longer than the limit
// is shortened.
std::string encodeOutcome(const Outcome& outcome);

// Takes the bytes of a channel as they come, in pieces of any size, and gives the records that
// are complete. A record that does not parse (a writer killed in the middle of one) is skipped.
class OutcomeReader {
 public:
  std::vector<Outcome> take(std::string_view bytes);

 private:
  std::string pending_;
};

}  // namespace karvelo::common
