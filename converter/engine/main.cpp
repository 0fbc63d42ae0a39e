// multiconv: resizes one picture, as its command line says, and exits with a status that names
// the kind of failure (see ExitCode.h).

#include "converter/core/ConversionError.h"
#include "converter/core/SwitchParser.h"
#include "converter/core/Usage.h"
#include "converter/engine/Conversion.h"
#include "converter/engine/FailureLog.h"

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#ifdef _WIN32
#include "converter/engine/WidePath.h"
#endif

using namespace karvelo::converter;

int main(int argc, char** argv) {
#ifdef _WIN32
  (void)argc;
  (void)argv;
  // Windows hands over one text; it is split with the same grammar that built it.
  const std::string commandLine = narrow(::GetCommandLineW());
  const std::vector<std::string> words = switchWords(commandLine);
#else
  // On POSIX the process start has already split the text with that grammar.
  const std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
  std::string commandLine;
  for (const std::string& word : words) {
    commandLine += (commandLine.empty() ? "" : " ") + word;
  }
#endif
  switch (infoRequest(commandLine)) {
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
    convert(parseSwitches(words), platformCodecs());
    return 0;
  } catch (const ConversionError& error) {
    reportFailure(error.code(), error.what(), commandLine);
    return static_cast<int>(error.code());
  } catch (const std::bad_alloc&) {
    reportFailure(ExitCode::InternalError, "out of memory", commandLine);
  } catch (const std::exception& error) {
    reportFailure(ExitCode::InternalError, error.what(), commandLine);
  }
  return static_cast<int>(ExitCode::InternalError);
}
