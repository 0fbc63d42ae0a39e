#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace karvelo::converter::testing {

// The built multiconv, started the way the program's process start does it on POSIX: the command
// line text is split with the shared grammar and handed over as argv.
struct RunResult {
  int exitCode = -1;        // -1 when killed by a signal
  std::string errorOutput;  // what it wrote to stderr
  long peakMemoryKilobytes = 0;
};

class ConverterProcess {
 public:
  // `folder` holds the state folder (the log) and the slot folder of the runs.
  explicit ConverterProcess(std::filesystem::path folder);

  // The command line the program builds: the converter's path, then `switches`.
  std::string commandLine(const std::string& switches) const;

  // Runs to the end. `extraEnvironment` takes precedence over the variables set for every run.
  RunResult run(const std::string& switches,
                const std::vector<std::string>& extraEnvironment = {}) const;

  // Starts without waiting; stderr goes to /dev/null.
  pid_t start(const std::string& switches,
              const std::vector<std::string>& extraEnvironment = {}) const;

  std::filesystem::path logFile() const { return folder_ / "state" / "karvelo" / "multiconv.log"; }
  std::filesystem::path slotFolder() const { return folder_ / "slots"; }
  // Removes the slots of the runs; call before removing the folder.
  void discardSlots() const;

 private:
  std::vector<std::string> environment(const std::vector<std::string>& extra) const;
  pid_t spawn(const std::string& switches, const std::vector<std::string>& extraEnvironment,
              const std::string& errorFile) const;

  std::filesystem::path folder_;
};

// " /s:"<source>" /d:"<folder>"": the head of every converter command line.
std::string sourceAndDest(const std::filesystem::path& source, const std::filesystem::path& dest);

// The whole contents of a file.
std::string readFile(const std::filesystem::path& path);

}  // namespace karvelo::converter::testing
