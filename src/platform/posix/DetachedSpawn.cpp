#include "platform/posix/DetachedSpawn.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
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

bool openReportPipe(int (&ends)[2]) {
#ifdef __APPLE__
  // No pipe2 here: the flags follow at once.
  if (::pipe(ends) != 0) return false;
  ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
  ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
  return true;
#else
  return ::pipe2(ends, O_CLOEXEC) == 0;
#endif
}

void writeError(int fd, int error) {
  while (::write(fd, &error, sizeof error) < 0 && errno == EINTR) {
  }
}

}  // namespace

int spawnDetached(const std::vector<std::string>& argv,
                  const std::optional<std::string>& directory) {
  if (argv.empty()) return EINVAL;
  const std::optional<std::string> program = resolve(argv[0]);
  if (!program) return ENOENT;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  // The grandchild reports a failed exec through this pipe; a successful exec closes it. Both
  // descriptors are close-on-exec from the start, so that no program that another thread starts
  // meanwhile holds the pipe open (which would keep the read below waiting for it to end).
  int report[2];
  if (!openReportPipe(report)) return errno;
  // The program reads nothing from the caller's input.
  const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);

  const pid_t child = ::fork();
  if (child < 0) {
    const int error = errno;
    ::close(report[0]);
    ::close(report[1]);
    if (devNull >= 0) ::close(devNull);
    return error;
  }
  if (child == 0) {
    // Only async-signal-safe calls from here on.
    ::close(report[0]);
    const pid_t grandchild = ::fork();
    if (grandchild < 0) {
      writeError(report[1], errno);
      ::_exit(1);
    }
    if (grandchild > 0) ::_exit(0);
    ::setsid();
    // The program starts with the signal state of a fresh process, not the caller's.
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &defaults, nullptr);
    if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
    if (directory && ::chdir(directory->c_str()) != 0) {
      writeError(report[1], errno);
      ::_exit(127);
    }
    ::execv(program->c_str(), args.data());
    writeError(report[1], errno);
    ::_exit(127);
  }

  ::close(report[1]);
  if (devNull >= 0) ::close(devNull);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t got;
  while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

}  // namespace karvelo::platform
