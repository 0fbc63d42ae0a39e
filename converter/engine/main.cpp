// multiconv: resizes one picture, as its command line says, and exits with a status that names
// the kind of failure (see ExitCode.h).

#include "converter/core/ConversionError.h"
#include "converter/core/SwitchParser.h"
#include "converter/core/Usage.h"
#include "converter/engine/Conversion.h"
#include "converter/engine/FailureLog.h"
#include "converter/platform/Process.h"

#include <cstdio>
#include <new>
#include <string>

using namespace karvelo::converter;

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
  try {
    convert(parseSwitches(commandLine.words), platformCodecs());
    return 0;
  } catch (const ConversionError& error) {
    reportFailure(error.code(), error.what(), commandLine.text);
    return static_cast<int>(error.code());
  } catch (const std::bad_alloc&) {
    reportFailure(ExitCode::InternalError, "out of memory", commandLine.text);
  } catch (const std::exception& error) {
    reportFailure(ExitCode::InternalError, error.what(), commandLine.text);
  }
  return static_cast<int>(ExitCode::InternalError);
}
