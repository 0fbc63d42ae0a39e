// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConverterProcess.h"

#include "common/CommandLine.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <spawn.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace karvelo::converter::testing {

namespace {

int exitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

}  // namespace

StartedConverter::~StartedConverter() = default;

int StartedConverter::wait() {
  int status = 0;
  rusage usage{};
  while (::wait4(static_cast<pid_t>(process_), &status, 0, &usage) < 0 && errno == EINTR) {
  }
  peakKilobytes_ = usage.ru_maxrss;
  return exitCodeOf(status);
}

std::optional<int> StartedConverter::exitCode() {
  int status = 0;
  if (::waitpid(static_cast<pid_t>(process_), &status, WNOHANG) <= 0) {
    return std::nullopt;
  }
  return exitCodeOf(status);
}

void StartedConverter::kill() {
  ::kill(static_cast<pid_t>(process_), SIGKILL);
  wait();
}

int StartedConverter::carryOn() {
  ::kill(static_cast<pid_t>(process_), SIGCONT);
  return wait();
}

void StartedConverter::askToEnd() {
  ::kill(static_cast<pid_t>(process_), SIGTERM);
  ::kill(static_cast<pid_t>(process_), SIGCONT);
  wait();
}

// Resident minus shared pages.
long StartedConverter::privateKilobytes() const {
  std::ifstream statm("/proc/" + std::to_string(process_) + "/statm");
  long size = 0;
  long resident = 0;
  long shared = 0;
  if (!(statm >> size >> resident >> shared)) {
    return 0;
  }
  return (resident - shared) * (::sysconf(_SC_PAGESIZE) / 1024);
}

std::string ConverterProcess::commandLine(const std::string& switches) const {
  return utf8(program_) + switches;
}

std::filesystem::path ConverterProcess::logFile() const {
  return folder_ / "state" / "karvelo" / "multiconv.log";
}

std::vector<std::string> ConverterProcess::environment(
    const std::vector<std::string>& extra) const {
  // The first of two equal names is the one a process reads.
  std::vector<std::string> variables = extra;
  variables.push_back("XDG_STATE_HOME=" + (folder_ / "state").string());
  variables.push_back("MULTICONV_SLOT_DIR=" + slotFolder().string());
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string text = *variable;
    if (!text.starts_with("XDG_STATE_HOME=") && !text.starts_with("MULTICONV_")) {
      variables.push_back(text);
    }
  }
  return variables;
}

StartedConverter ConverterProcess::spawn(const std::string& switches,
                                         const std::vector<std::string>& variables,
                                         const std::filesystem::path& errorFile) const {
  const std::vector<std::string> words = common::splitCommandLine(commandLine(switches));
  std::vector<char*> argv;
  for (const std::string& word : words) {
    argv.push_back(const_cast<char*>(word.c_str()));
  }
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& variable : variables) {
    envp.push_back(const_cast<char*>(variable.c_str()));
  }
  envp.push_back(nullptr);
  // A started process's peak memory begins at the peak of the process that started it; reset
  // this one's to what it holds now, so that pictures made earlier in the test do not count.
  std::ofstream("/proc/self/clear_refs") << "5";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  const int status = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (status != 0) {
    throw std::runtime_error("cannot start " + std::string(argv[0]));
  }
  return StartedConverter(pid);
}

StartedConverter ConverterProcess::startStoppedBeforeRename(
    const std::string& switches, const std::vector<std::string>& extraEnvironment) const {
  std::vector<std::string> variables = extraEnvironment;
  variables.push_back("MULTICONV_TEST_STOP_BEFORE_RENAME=1");
  StartedConverter converter = start(switches, variables);
  int status = 0;
  ::waitpid(static_cast<pid_t>(converter.process_), &status, WUNTRACED);
  if (!WIFSTOPPED(status)) {
    throw std::runtime_error("the converter ended before its rename");
  }
  return converter;
}

std::filesystem::path reachable(const std::filesystem::path& path) { return path; }

void removeAll(const std::filesystem::path& path) { std::filesystem::remove_all(path); }

std::string processTag() { return std::to_string(::getpid()); }

long machineUsedKilobytes() {
  std::ifstream meminfo("/proc/meminfo");
  std::map<std::string, long> values;
  std::string key;
  long value = 0;
  std::string unit;
  while (meminfo >> key >> value >> unit) {
    values[key] = value;
  }
  return values["MemTotal:"] - values["MemAvailable:"];
}

}  // namespace karvelo::converter::testing
