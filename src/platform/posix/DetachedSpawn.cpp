// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/DetachedSpawn.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace karvelo::platform {

namespace {

bool isExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// The program's path: as given when it names a folder, else the first match on PATH. Looked up
// before forking, because the child may only make async-signal-safe calls.
std::optional<std::string> resolve(const std::string& program) {
  if (program.empty()) return std::nullopt;
  if (program.find('/') != std::string::npos) return program;
  const char* env = std::getenv("PATH");
  const std::string_view path = env && *env ? env : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(':', start);
    if (end == std::string_view::npos) end = path.size();
    // An empty entry stands for the current folder.
    const std::string_view folder = end > start ? path.substr(start, end - start) : ".";
    std::string candidate = std::string(folder) + "/" + program;
    if (isExecutableFile(candidate)) return candidate;
    start = end + 1;
  }
  return std::nullopt;
}

// A program started from here begins with the signal state of a fresh process: no signal
// blocked, none caught. Only system calls, as it shares the caller's memory.
void resetSignals() {
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  for (int signal = 1; signal < NSIG; ++signal) {
    struct sigaction current {};
    // Every caught signal, and SIGPIPE also where the caller ignores it.
    if (::sigaction(signal, nullptr, &current) == 0 &&
        (signal == SIGPIPE || (current.sa_handler != SIG_IGN && current.sa_handler != SIG_DFL))) {
      ::sigaction(signal, &defaults, nullptr);
    }
  }
#ifdef __linux__
  // The C library keeps the first real-time signals for itself and refuses to change them, yet a
  // process can inherit them ignored from whoever started this one: they are set to their
  // defaults with the system call itself.
  struct {
    void (*handler)(int);
    unsigned long flags;
    void (*restorer)();
    std::uint64_t mask;
  } kernelDefaults{SIG_DFL, 0, nullptr, 0};
  for (int signal = __SIGRTMIN; signal < SIGRTMIN; ++signal) {
    ::syscall(SYS_rt_sigaction, signal, &kernelDefaults, nullptr, sizeof kernelDefaults.mask);
  }
#endif
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

}  // namespace

int spawnDetached(const std::vector<std::string>& argv,
                  const std::optional<std::string>& directory,
                  const InheritedDescriptor* inherited) {
  if (argv.empty()) return EINVAL;
  const std::optional<std::string> program = resolve(argv[0]);
  if (!program) return ENOENT;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  // The caller's environment, with the inherited descriptor's number in place of any value the
  // variable had.
  std::string inheritedEntry;
  std::vector<char*> environment;
  if (inherited) {
    inheritedEntry = inherited->variable + "=" + std::to_string(inherited->descriptor);
    const std::string_view name(inheritedEntry.data(), inherited->variable.size() + 1);
    for (char** entry = environ; *entry != nullptr; ++entry) {
      if (!std::string_view(*entry).starts_with(name)) environment.push_back(*entry);
    }
    environment.push_back(inheritedEntry.data());
    environment.push_back(nullptr);
  }

  // The program runs as a grandchild whose parent ends at once. Both are made with vfork, so
  // that neither copies this process's memory map: with fork, each start of a converter cost
  // the program time in proportion to its own size, and a batch of small pictures went only as
  // fast as the program could fork. Until the program has been executed, the two share this
  // process's memory: they make only system calls, every signal stays blocked until the program's
  // own defaults are in place, and a failure is reported through `error`.
  // The program reads nothing from the caller's input.
  const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  sigset_t all;
  sigset_t callers;
  ::sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &callers);
  volatile int error = 0;
  const pid_t child = ::vfork();
  if (child == 0) {
    const pid_t grandchild = ::vfork();
    if (grandchild == 0) {
      ::setsid();
      if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
      if (directory && ::chdir(directory->c_str()) != 0) {
        error = errno;
        ::_exit(127);
      }
      resetSignals();
      if (inherited) {
        // Kept open across the execution in this process only: the flag belongs to the
        // descriptor table, which the child has its own copy of.
        ::fcntl(inherited->descriptor, F_SETFD, 0);
        ::execve(program->c_str(), args.data(), environment.data());
      } else {
        ::execv(program->c_str(), args.data());
      }
      error = errno;
      ::_exit(127);
    }
    if (grandchild < 0) error = errno;
    ::_exit(0);
  }
  if (child < 0) error = errno;
  ::pthread_sigmask(SIG_SETMASK, &callers, nullptr);
  if (devNull >= 0) ::close(devNull);
  int status = 0;
  while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return error;
}

}  // namespace karvelo::platform
