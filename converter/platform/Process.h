// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace karvelo::converter {

// The converter's command line: the words after the program, and the text as the log quotes it.
struct CommandLine {
  std::vector<std::string> words;
  std::string text;
};

// On POSIX the process start has already split the text into words, which are joined for the
// log; Windows hands over one text, which is split with the grammar that built it.
CommandLine processCommandLine(int argc, char** argv);

// The value of an environment variable as UTF-8; empty when it is not set.
std::string environmentVariable(const char* name);

unsigned long processId();

// Shows a line on the standard error stream. On Windows the converter has no console of its
// own: the line goes to the standard error handed over by whoever started it (a file or a pipe),
// else to the console of the one that started it (a command prompt), else nowhere.
void showError(const std::string& line);

// The failure log, its folders made where missing: karvelo/multiconv.log in $XDG_STATE_HOME
// (else ~/.local/state), or Karvelo\multiconv.log in %LOCALAPPDATA% on Windows. Empty where the
// user has no such folder.
std::string failureLogPath();

// Hands the record to the outcome channel that the program which started the converter named in
// its environment; does nothing for a converter started without one (by hand, by a script). Never
// waits long: a channel that stays full for seconds loses the record.
void writeOutcome(const std::string& record);

// For tests: ends the process at once, as a kill would, when MULTICONV_TEST_KILL_SOURCE names
// the source being converted.
void dieHereForTests(const std::string& source);

}  // namespace karvelo::converter
