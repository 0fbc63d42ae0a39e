#include "platform/posix/PosixProcesses.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cmdline/CommandLine.h"
#include "forms/RuntimeError.h"
#include "platform/posix/DetachedSpawn.h"

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
  std::vector<std::string> args = resolve(commandLine);
  // A program named without a folder is the file found in the current folder, not one on PATH.
  if (args[0].find('/') == std::string::npos) args[0] = "./" + args[0];
  // Detached: never waited for, and no zombie left behind.
  if (const int error = spawnDetached(args); error != 0) {
    failStart(commandLine, std::strerror(error));
  }
}

std::string PosixProcesses::programFolder() const {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error)
    throw RuntimeError(RuntimeError::PathNotFound, "the program's folder: " + error.message());
  return self.parent_path().string();
}

}  // namespace karvelo::platform
