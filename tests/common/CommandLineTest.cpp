// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/CommandLine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using karvelo::common::splitCommandLine;
using karvelo::common::splitWords;
using testing::ElementsAre;
using testing::IsEmpty;

TEST(CommandLine, SplitsAtRunsOfBlanksAndTabs) {
  EXPECT_THAT(splitCommandLine(""), IsEmpty());
  EXPECT_THAT(splitCommandLine(" \t  "), IsEmpty());
  EXPECT_THAT(splitCommandLine("a"), ElementsAre("a"));
  EXPECT_THAT(splitCommandLine("  a \t\tb  c "), ElementsAre("a", "b", "c"));
  // The width segment ends in a blank, so a prefix switch follows after two blanks.
  EXPECT_THAT(splitCommandLine("/m:w /w:640  /pre:t "), ElementsAre("/m:w", "/w:640", "/pre:t"));
  // Other white space is an ordinary character.
  EXPECT_THAT(splitCommandLine("a\nb\rc"), ElementsAre("a\nb\rc"));
}

TEST(CommandLine, QuotesKeepBlanksAndAreDropped) {
  EXPECT_THAT(splitCommandLine(R"(/s:"C:\My Photos\beach.jpg" /d:"C:\Small")"),
              ElementsAre(R"(/s:C:\My Photos\beach.jpg)", R"(/d:C:\Small)"));
  // Quotes open and close anywhere inside a word.
  EXPECT_THAT(splitCommandLine(R"(a"b c"d "e"f)"), ElementsAre("ab cd", "ef"));
  EXPECT_THAT(splitCommandLine(R"("a""b")"), ElementsAre("ab"));
  // A quoted stretch with nothing in it still makes a word.
  EXPECT_THAT(splitCommandLine(R"("" x "")"), ElementsAre("", "x", ""));
  EXPECT_THAT(splitCommandLine(R"(/d:"")"), ElementsAre("/d:"));
  // An unclosed quote runs to the end of the text.
  EXPECT_THAT(splitCommandLine(R"(a "b c)"), ElementsAre("a", "b c"));
  EXPECT_THAT(splitCommandLine("\"   "), ElementsAre("   "));
}

TEST(CommandLine, BackslashIsNeverAnEscape) {
  EXPECT_THAT(splitCommandLine(R"(/d:"C:\" /m:r)"), ElementsAre(R"(/d:C:\)", "/m:r"));
  EXPECT_THAT(splitCommandLine(R"(/s:"C:\\x.jpg")"), ElementsAre(R"(/s:C:\\x.jpg)"));
  EXPECT_THAT(splitCommandLine(R"(a\"b c" d)"), ElementsAre(R"(a\b c)", "d"));
  EXPECT_THAT(splitCommandLine(R"(\\server\share\ end\)"),
              ElementsAre(R"(\\server\share\)", R"(end\)"));
}

TEST(CommandLine, WordSpansCoverQuotes) {
  const std::string line = R"(C:\Tools\multiconv.exe /s:"C:\A B\x.jpg"  "" /o)";
  const auto words = splitWords(line);
  ASSERT_EQ(words.size(), 4u);
  EXPECT_EQ(words[0].text, R"(C:\Tools\multiconv.exe)");
  EXPECT_EQ(line.substr(words[0].begin, words[0].end - words[0].begin), words[0].text);
  EXPECT_EQ(words[1].text, R"(/s:C:\A B\x.jpg)");
  EXPECT_EQ(line.substr(words[1].begin, words[1].end - words[1].begin), R"(/s:"C:\A B\x.jpg")");
  EXPECT_EQ(words[2].text, "");
  EXPECT_EQ(words[2].end - words[2].begin, 2u);
  EXPECT_EQ(words[3].begin, line.size() - 2);
  EXPECT_EQ(words[3].end, line.size());
}

TEST(CommandLine, CarriesUtf8Unchanged) {
  EXPECT_THAT(splitCommandLine("/s:\"/tmp/Фото 写真 😀/é.jpg\" /pre:ñ "),
              ElementsAre("/s:/tmp/Фото 写真 😀/é.jpg", "/pre:ñ"));
}
