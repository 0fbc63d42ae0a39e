// SPDX-License-Identifier: GPL-3.0-or-later
// multiconv: resizes one picture, as its command line says, and exits with a status that names
// the kind of failure (see ExitCode.h).

#include "common/Outcome.h"
#include "converter/core/ConversionError.h"
#include "converter/core/SwitchParser.h"
#include "converter/core/Usage.h"
#include "converter/engine/Conversion.h"
#include "converter/engine/FailureLog.h"
#include "converter/engine/HandOver.h"
#include "converter/platform/Process.h"

#include <cstdio>
#include <new>
#include <string>

using namespace karvelo::converter;

namespace {

struct Result {
  ExitCode code = ExitCode::Success;
  std::string message;
};

Result run(const CommandLine& commandLine, std::string& source, char** argv) {
  try {
    const ConverterOptions options = parseSwitches(commandLine.words);
    source = options.source;
    convert(options, platformCodecs());
    return {};
  } catch (const ConversionError& error) {
    return {error.code(), error.what()};
  } catch (const HandOver& handOver) {
    // The run has unwound, its slot given back: the program for this format starts in this
    // process's place, and this one goes on only when it cannot.
    return {ExitCode::UnsupportedFormat, handOver.start(argv)};
  } catch (const std::bad_alloc&) {
    return {ExitCode::InternalError, "out of memory"};
  } catch (const std::exception& error) {
    return {ExitCode::InternalError, error.what()};
  }
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLine commandLine = processCommandLine(argc, argv);
  switch (infoRequest(commandLine.text)) {
    case InfoRequest::Usage:
      std::fputs(usageText().c_str(), stdout);
      return 0;
    case InfoRequest::Version:
      std::fputs(versionText().c_str(), stdout);
      return 0;
    case InfoRequest::None:
      break;
  }
  std::string source;
  const Result result = run(commandLine, source, argv);
  if (result.code != ExitCode::Success) {
    reportFailure(result.code, result.message, commandLine.text);
  }
  // Last of all, with the slot given back: the program that started the converter learns how it
  // ended.
  writeOutcome(karvelo::common::encodeOutcome(
      {source, static_cast<int>(result.code), result.message}));
  return static_cast<int>(result.code);
}
