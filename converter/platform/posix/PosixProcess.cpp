#include "converter/platform/Process.h"

#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace karvelo::converter {

namespace {

std::string logFolder() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
    return std::string(state) + "/karvelo";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::string(home) + "/.local/state/karvelo";
  }
  return {};
}

// mkdir -p for the folders of the log.
void makeFolders(const std::string& folder) {
  for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1)) {
    ::mkdir(folder.substr(0, slash).c_str(), 0700);
  }
  ::mkdir(folder.c_str(), 0700);
}

}  // namespace

CommandLine processCommandLine(int argc, char** argv) {
  CommandLine line{{argv + (argc > 0 ? 1 : 0), argv + argc}, {}};
  for (const std::string& word : line.words) {
    line.text += (line.text.empty() ? "" : " ") + word;
  }
  return line;
}

std::string environmentVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

unsigned long processId() { return static_cast<unsigned long>(::getpid()); }

void showError(const std::string& line) {
  [[maybe_unused]] const ssize_t shown = ::write(STDERR_FILENO, line.data(), line.size());
}

std::string failureLogPath() {
  const std::string folder = logFolder();
  if (folder.empty()) {
    return {};
  }
  makeFolders(folder);
  return folder + "/multiconv.log";
}

}  // namespace karvelo::converter
