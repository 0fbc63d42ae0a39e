// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/CommandLine.h"

namespace karvelo::common {

namespace {

constexpr bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<Word> splitWords(std::string_view commandLine) {
  std::vector<Word> words;
  std::size_t pos = 0;
  const std::size_t size = commandLine.size();
  while (pos < size) {
    while (pos < size && isBlank(commandLine[pos])) {
      ++pos;
    }
    if (pos == size) {
      break;
    }
    Word word{{}, pos, pos};
    bool quoted = false;
    while (pos < size && (quoted || !isBlank(commandLine[pos]))) {
      const char c = commandLine[pos];
      if (c == '"') {
        quoted = !quoted;
      } else {
        word.text.push_back(c);
      }
      ++pos;
    }
    word.end = pos;
    words.push_back(std::move(word));
  }
  return words;
}

std::vector<std::string> splitCommandLine(std::string_view commandLine) {
  std::vector<std::string> texts;
  for (Word& word : splitWords(commandLine)) {
    texts.push_back(std::move(word.text));
  }
  return texts;
}

}  // namespace karvelo::common
