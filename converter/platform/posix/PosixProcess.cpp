// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/platform/Process.h"

#include "common/ConverterLog.h"
#include "common/Outcome.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace karvelo::converter {

namespace {

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
  const std::string path = common::converterLogPath();
  if (!path.empty()) {
    makeFolders(path.substr(0, path.rfind('/')));
  }
  return path;
}

void writeOutcome(const std::string& record) {
  const std::string variable = environmentVariable(common::outcomeVariable);
  int fd = -1;
  const auto [end, error] = std::from_chars(variable.data(), variable.data() + variable.size(), fd);
  struct stat status {};
  // Only a pipe: a number that names another file would have the record written into it.
  if (variable.empty() || error != std::errc() || end != variable.data() + variable.size() ||
      ::fstat(fd, &status) != 0 || !S_ISFIFO(status.st_mode)) {
    return;
  }
  // Without blocking: when the pipe is full, wait for room a while, but not for ever.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    const ssize_t written = ::write(fd, record.data(), record.size());
    if (written >= 0 || (errno != EAGAIN && errno != EINTR)) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        giveUp - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd room{fd, POLLOUT, 0};
    ::poll(&room, 1, static_cast<int>(left.count()));
  }
  ::close(fd);
}

void dieHereForTests(const std::string& source) {
  if (const std::string victim = environmentVariable("MULTICONV_TEST_KILL_SOURCE");
      !victim.empty() && victim == source) {
    ::raise(SIGKILL);
  }
}

}  // namespace karvelo::converter
