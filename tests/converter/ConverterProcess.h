// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karvelo::converter::testing {

// The built multiconv, started as the program's process start does it: on POSIX the command line
// text is split with the shared grammar and handed over as argv; on Windows it is handed over as
// one text, with window style 6.
struct RunResult {
  int exitCode = -1;        // -1 when killed
  std::string errorOutput;  // what it wrote to its standard error
  long peakMemoryKilobytes = 0;
};

// A converter started without waiting for it. Destroying it neither waits for it nor ends it.
class StartedConverter {
 public:
  explicit StartedConverter(std::intptr_t process) : process_(process) {}
  StartedConverter(StartedConverter&& other) noexcept;
  StartedConverter& operator=(StartedConverter&&) = delete;
  ~StartedConverter();

  // Waits for the end: the exit code, -1 when killed.
  int wait();
  // Once it has ended: the most memory it held at once, in kilobytes.
  long peakKilobytes() const { return peakKilobytes_; }
  // The exit code once it has ended; nothing while it runs.
  std::optional<int> exitCode();
  // Ends it at once, as a crash or the task manager would, and waits for the end.
  void kill();
  // The memory it holds on its own, in kilobytes.
  long privateKilobytes() const;
#ifndef _WIN32
  // Asks it to end (SIGTERM, and SIGCONT should it be stopped) and waits for the end.
  void askToEnd();
  // Lets a stopped converter go on, and waits for the end: the exit code.
  int carryOn();
#endif

 private:
  friend class ConverterProcess;

  std::intptr_t process_;  // pid, or process HANDLE on Windows
  long peakKilobytes_ = 0;
};

class ConverterProcess {
 public:
  // `folder` holds the state folder (the log) and the slot folder of the runs; `program` is the
  // converter started, the built one unless given.
  explicit ConverterProcess(std::filesystem::path folder,
                            std::filesystem::path program = MULTICONV_PATH);

  // The command line the program builds: the converter's path, then `switches`.
  std::string commandLine(const std::string& switches) const;

  // Runs to the end. `extraEnvironment` takes precedence over the variables set for every run.
  RunResult run(const std::string& switches,
                const std::vector<std::string>& extraEnvironment = {}) const;

  // Starts without waiting; its standard error goes nowhere.
  StartedConverter start(const std::string& switches,
                         const std::vector<std::string>& extraEnvironment = {}) const;

  // Starts, and returns once the converter has written its result to the temporary file and
  // waits there, holding its slot, to be killed.
  StartedConverter startStoppedBeforeRename(
      const std::string& switches, const std::vector<std::string>& extraEnvironment = {}) const;

  std::filesystem::path logFile() const;
  std::filesystem::path slotFolder() const { return folder_ / "slots"; }
  // Removes the slots of the runs; call before removing the folder.
  void discardSlots() const;

 private:
  std::vector<std::string> environment(const std::vector<std::string>& extra) const;
  StartedConverter spawn(const std::string& switches, const std::vector<std::string>& environment,
                         const std::filesystem::path& errorFile) const;

  std::filesystem::path folder_;
  std::filesystem::path program_;
};

// " /s:"<source>" /d:"<folder>"": the head of every converter command line.
std::string sourceAndDest(const std::filesystem::path& source, const std::filesystem::path& dest);

// The whole contents of a file.
std::string readFile(const std::filesystem::path& path);

// A path as UTF-8 text, as the converter's command line holds it, and back.
std::string utf8(const std::filesystem::path& path);
std::filesystem::path pathOf(std::string_view utf8);

// The path in a form that this process's own file calls can reach beyond 260 characters: on
// Windows the "\\?\" form of the absolute path.
std::filesystem::path reachable(const std::filesystem::path& path);

// Removes a file, or a folder with everything in it, also beyond 260 characters.
void removeAll(const std::filesystem::path& path);

// This test process's id, for names that other runs must not share.
std::string processTag();

// Kilobytes of memory in use on the whole machine.
long machineUsedKilobytes();

}  // namespace karvelo::converter::testing
