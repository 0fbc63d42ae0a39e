#include "ConverterProcess.h"

#include "cmdline/CommandLine.h"
#include "converter/engine/ConversionSlot.h"

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace karvelo::converter::testing {

ConverterProcess::ConverterProcess(std::filesystem::path folder) : folder_(std::move(folder)) {
  std::filesystem::create_directories(folder_);
}

void ConverterProcess::discardSlots() const { ConversionSlot::discard(slotFolder().string()); }

std::string ConverterProcess::commandLine(const std::string& switches) const {
  return std::string(MULTICONV_PATH) + switches;
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

pid_t ConverterProcess::spawn(const std::string& switches,
                              const std::vector<std::string>& extraEnvironment,
                              const std::string& errorFile) const {
  const std::vector<std::string> words = cmdline::splitCommandLine(commandLine(switches));
  std::vector<char*> argv;
  for (const std::string& word : words) {
    argv.push_back(const_cast<char*>(word.c_str()));
  }
  argv.push_back(nullptr);
  const std::vector<std::string> variables = environment(extraEnvironment);
  std::vector<char*> envp;
  for (const std::string& variable : variables) {
    envp.push_back(const_cast<char*>(variable.c_str()));
  }
  envp.push_back(nullptr);
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
  return pid;
}

RunResult ConverterProcess::run(const std::string& switches,
                                const std::vector<std::string>& extraEnvironment) const {
  const std::string errorFile = (folder_ / ("stderr-" + std::to_string(::getpid()))).string();
  // A started process's peak memory begins at the peak of the process that started it; reset
  // this one's to what it holds now, so that pictures made earlier in the test do not count.
  std::ofstream("/proc/self/clear_refs") << "5";
  const pid_t pid = spawn(switches, extraEnvironment, errorFile);
  int status = 0;
  rusage usage{};
  while (::wait4(pid, &status, 0, &usage) < 0) {
  }
  RunResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.errorOutput = readFile(errorFile);
  result.peakMemoryKilobytes = usage.ru_maxrss;
  std::filesystem::remove(errorFile);
  return result;
}

pid_t ConverterProcess::start(const std::string& switches,
                              const std::vector<std::string>& extraEnvironment) const {
  return spawn(switches, extraEnvironment, "/dev/null");
}

std::string sourceAndDest(const std::filesystem::path& source, const std::filesystem::path& dest) {
  return " /s:\"" + source.string() + "\" /d:\"" + dest.string() + "\"";
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace karvelo::converter::testing
