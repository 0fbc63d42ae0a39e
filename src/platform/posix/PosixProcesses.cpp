#include "platform/posix/PosixProcesses.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "cmdline/CommandLine.h"
#include "forms/RuntimeError.h"

namespace karvelo::platform {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Double quotes only ever delimit whole values: the quoted program path at the very front, or the
// value of a switch right after its ':', closing at a blank or the end. Any other quote means
// that a name held a double quote, which the command line cannot carry: starting it would hand the
// converter other words than the ones meant.
bool quotesAreSound(const std::string& text) {
  bool open = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '"') continue;
    if (open) {
      if (i + 1 < text.size() && !isBlank(text[i + 1])) return false;
      open = false;
      continue;
    }
    std::size_t start = 0;
    while (start < text.size() && isBlank(text[start])) ++start;
    const bool frontOfLine = i == start;
    const bool afterSwitch = i > 0 && text[i - 1] == ':' && [&] {
      std::size_t w = i;
      while (w > 0 && !isBlank(text[w - 1])) --w;
      return text[w] == '/';
    }();
    if (!frontOfLine && !afterSwitch) return false;
    open = true;
  }
  return !open;
}

bool isFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

[[noreturn]] void failStart(const std::string& commandLine, const std::string& why) {
  throw RuntimeError(RuntimeError::FileNotFound, "cannot start " + commandLine + ": " + why);
}

void writeAll(int fd, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes += n;
    size -= static_cast<std::size_t>(n);
  }
}

}  // namespace

std::vector<std::string> PosixProcesses::resolve(const std::string& commandLine) {
  if (!quotesAreSound(commandLine)) failStart(commandLine, "a double quote inside a name");
  const std::vector<cmdline::Word> words = cmdline::splitWords(commandLine);
  if (words.empty()) failStart(commandLine, "no program named");

  std::size_t programWords = 0;
  std::string program;
  if (commandLine[words[0].begin] == '"') {
    if (isFile(words[0].text)) {
      program = words[0].text;
      programWords = 1;
    }
  } else {
    for (std::size_t k = 0; k < words.size(); ++k) {
      const std::string candidate =
          commandLine.substr(words[0].begin, words[k].end - words[0].begin);
      if (candidate.find('"') != std::string::npos) break;
      if (isFile(candidate)) {
        program = candidate;
        programWords = k + 1;
        break;
      }
    }
  }
  if (programWords == 0) failStart(commandLine, "no such program");

  std::vector<std::string> argv{program};
  for (std::size_t k = programWords; k < words.size(); ++k) argv.push_back(words[k].text);
  return argv;
}

void PosixProcesses::start(const std::string& commandLine, int) {
  const std::vector<std::string> args = resolve(commandLine);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  // The program runs as a grandchild: the child exits at once and is reaped here, so the program
  // belongs to init and leaves no zombie. A pipe that closes on exec tells whether exec worked:
  // end of file means it ran, an errno in the pipe means it did not.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) failStart(commandLine, std::strerror(errno));
  const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);

  const pid_t child = ::fork();
  if (child < 0) {
    const int error = errno;
    ::close(report[0]);
    ::close(report[1]);
    if (devNull >= 0) ::close(devNull);
    failStart(commandLine, std::strerror(error));
  }
  if (child == 0) {
    // Only async-signal-safe calls from here on.
    ::close(report[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild < 0) {
      const int error = errno;
      writeAll(report[1], &error, sizeof error);
      ::_exit(1);
    }
    if (grandchild > 0) ::_exit(0);
    // The program starts with the signal state of a fresh process, not the view's.
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &defaults, nullptr);
    if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
    ::execv(argv[0], argv.data());
    const int error = errno;
    writeAll(report[1], &error, sizeof error);
    ::_exit(127);
  }

  ::close(report[1]);
  if (devNull >= 0) ::close(devNull);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t got = 0;
  do {
    got = ::read(report[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  if (got > 0) failStart(commandLine, std::strerror(error));
}

std::string PosixProcesses::programFolder() const {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error)
    throw RuntimeError(RuntimeError::PathNotFound, "the program's folder: " + error.message());
  return self.parent_path().string();
}

}  // namespace karvelo::platform
