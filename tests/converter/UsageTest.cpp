// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/Usage.h"

#include "karvelo/Version.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

using namespace karvelo::converter;

namespace {

// The part of `text` from `heading` up to the next `end` after it.
std::string section(const std::string& text, const std::string& heading, const std::string& end) {
  const std::size_t begin = text.find(heading);
  if (begin == std::string::npos) return {};
  const std::size_t stop = text.find(end, begin + heading.size());
  return text.substr(begin, stop == std::string::npos ? std::string::npos : stop - begin);
}

bool isLower(char c) { return c >= 'a' && c <= 'z'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The switch names in `text` that follow `lead` ("`" or " "), with their method letters and
// without the value: "/m:hr", "/pre:", "/o".
std::set<std::string> switchNames(const std::string& text, char lead) {
  std::set<std::string> names;
  for (std::size_t at = text.find(std::string{lead, '/'}); at != std::string::npos;
       at = text.find(std::string{lead, '/'}, at + 1)) {
    std::size_t end = at + 2;
    while (end < text.size() && isLower(text[end])) ++end;
    if (end == at + 2) continue;
    if (end < text.size() && text[end] == ':') ++end;
    while (end < text.size() && isLower(text[end])) ++end;
    names.insert(text.substr(at + 1, end - at - 1));
  }
  return names;
}

// The numbers that start lines of `text` after `lead` ("| " or "  ").
std::set<std::string> leadingNumbers(const std::string& text, const std::string& lead) {
  std::set<std::string> numbers;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with(lead)) continue;
    std::size_t end = lead.size();
    while (end < line.size() && isDigit(line[end])) ++end;
    if (end > lead.size() && end < line.size() && line[end] == ' ')
      numbers.insert(line.substr(lead.size(), end - lead.size()));
  }
  return numbers;
}

}  // namespace

TEST(Usage, AgreesWithTheConverterNotesOnSwitchesAndExitCodes) {
  std::ifstream file(KARVELO_CONVERTER_NOTES);
  ASSERT_TRUE(file) << KARVELO_CONVERTER_NOTES;
  std::stringstream notes;
  notes << file.rdbuf();
  const std::string usage = usageText();

  const std::set<std::string> switches = switchNames(section(usage, "Switches", "\n\n"), ' ');
  EXPECT_EQ(switches, switchNames(section(notes.str(), "## Switches", "\n## "), '`'));
  EXPECT_EQ(switches.size(), 13u);

  const std::set<std::string> codes =
      leadingNumbers(section(usage, "Exit status:", "\nA failure"), "  ");
  EXPECT_EQ(codes, leadingNumbers(section(notes.str(), "## Exit status", "\n## "), "| "));
  EXPECT_EQ(codes.size(), 9u);
}

TEST(Usage, IsAskedOnlyByALastHelpWordWithoutAnySwitch) {
  const struct {
    const char* commandLine;
    InfoRequest request;
  } cases[] = {
      {"--help", InfoRequest::Usage},
      {"/?", InfoRequest::Usage},
      {"-h", InfoRequest::Usage},
      {"--version", InfoRequest::Version},
      // Windows hands over the whole line, program path and its blanks included.
      {R"(C:\Program Files\Karvelo\multiconv.exe /?)", InfoRequest::Usage},
      {R"(C:\Program Files\Karvelo\multiconv.exe)", InfoRequest::None},
      {"", InfoRequest::None},
      {"--helpful", InfoRequest::None},
      // After a switch, the word is part of the conversion: here the prefix "x --help".
      {"/s:a.jpg /d:. /m:r /r:0.5 /pre:x --help", InfoRequest::None},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(infoRequest(c.commandLine), c.request) << c.commandLine;
  }
}

// help2man and package tools read these lines: the release on the first, then the copyright
// holder of the About window and the version block, and the licence as GNU programs word it.
TEST(Usage, VersionNamesTheReleaseItsCopyrightHolderAndItsLicenceAsGnuProgramsDo) {
  using namespace karvelo::version;
  // Appended piece by piece: gcc 12 warns falsely about overlaps when a literal is prepended.
  const std::string release = std::string("multiconv ")
                                  .append(std::to_string(Major))
                                  .append(".")
                                  .append(std::to_string(Minor))
                                  .append(".")
                                  .append(std::to_string(Revision))
                                  .append("\n");
  EXPECT_EQ(versionText(),
            release +
                "Copyright (C) 2026 Karvelo Imaging Works\n"
                "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
                "This is free software: you are free to change and redistribute it.\n"
                "There is NO WARRANTY, to the extent permitted by law.\n");
}
