// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The one command-line grammar shared by the program's process start and the converter.
//
// Words are separated by runs of blanks (space or tab). A double quote opens and closes a quoted
// stretch inside which blanks belong to the word; the quote characters themselves are dropped.
// There is no escape character: a backslash is an ordinary character, so `/d:"C:\"` is the word
// `/d:C:\`. A quoted stretch with nothing in it still makes a word, so `""` alone is an empty word.
// An unclosed quote runs to the end of the text.
namespace karvelo::common {

struct Word {
  std::string text;   // the word without its quote characters
  std::size_t begin;  // [begin, end) is the word's span in the source text, quotes included
  std::size_t end;
};

std::vector<Word> splitWords(std::string_view commandLine);

// The texts of splitWords, in order.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

}  // namespace karvelo::common
