// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/PosixProcesses.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/CommandLine.h"
#include "forms/RuntimeError.h"
#include "platform/posix/DetachedSpawn.h"

namespace karvelo::platform {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isQuotedSwitch(const std::string& text, std::size_t quote, char name) {
  return quote >= 3 && text[quote - 3] == '/' && text[quote - 1] == ':' &&
         std::tolower(static_cast<unsigned char>(text[quote - 2])) == name &&
         (quote == 3 || isBlank(text[quote - 4]));
}

// Double quotes only ever delimit whole values: the quoted program path at the very front, and the
// source and destination after /s: and /d:, each once, closing at a blank or the end. Any other
// quote means that a name held a double quote, which the command line cannot carry: starting it
// would hand the converter other words than the ones meant. A name can even close its own quotes
// and spell further switches between them, which then shows as a quoted switch given twice.
bool quotesAreSound(const std::string& text) {
  const std::size_t front = text.find_first_not_of(" \t");
  bool sourceQuoted = false;
  bool destQuoted = false;
  bool open = false;
  for (std::size_t i = text.find('"'); i != std::string::npos; i = text.find('"', i + 1)) {
    if (open) {
      if (i + 1 < text.size() && !isBlank(text[i + 1])) return false;
      open = false;
      continue;
    }
    if (i != front) {
      bool* seen = isQuotedSwitch(text, i, 's')   ? &sourceQuoted
                   : isQuotedSwitch(text, i, 'd') ? &destQuoted
                                                  : nullptr;
      if (seen == nullptr || *seen) return false;
      *seen = true;
    }
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
  const std::vector<common::Word> words = common::splitWords(commandLine);
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
  startDetached(commandLine, nullptr);
}

void PosixProcesses::start(const std::string& commandLine, const InheritedDescriptor& inherited) {
  startDetached(commandLine, &inherited);
}

void PosixProcesses::startDetached(const std::string& commandLine,
                                   const InheritedDescriptor* inherited) {
  std::vector<std::string> args = resolve(commandLine);
  // A program named without a folder is the file found in the current folder, not one on PATH.
  if (args[0].find('/') == std::string::npos) args[0] = "./" + args[0];
  // Detached: never waited for, and no zombie left behind.
  if (const int error = spawnDetached(args, std::nullopt, inherited); error != 0) {
    failStart(commandLine, std::strerror(error));
  }
}

std::string PosixProcesses::programFolder() const {
  if (!programFolder_.empty()) return programFolder_;
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error)
    throw RuntimeError(RuntimeError::PathNotFound, "the program's folder: " + error.message());
  return self.parent_path().string();
}

}  // namespace karvelo::platform
