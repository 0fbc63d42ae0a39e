#include "converter/core/Usage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
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

// Every match of `pattern`'s first group in `text`.
std::set<std::string> matches(const std::string& text, const std::string& pattern) {
  std::set<std::string> found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
       ++it) {
    found.insert((*it)[1]);
  }
  return found;
}

}  // namespace

TEST(Usage, AgreesWithTheConverterNotesOnSwitchesAndExitCodes) {
  std::ifstream file(KARVELO_CONVERTER_NOTES);
  ASSERT_TRUE(file) << KARVELO_CONVERTER_NOTES;
  std::stringstream notes;
  notes << file.rdbuf();
  const std::string usage = usageText();

  // Switch names with their method letters, without the value: "/m:hr", "/pre:", "/o".
  const std::string noteSwitches = section(notes.str(), "## Switches", "\n## ");
  const std::string usageSwitches = section(usage, "Switches", "\n\n");
  EXPECT_EQ(matches(usageSwitches, R"(\s(/[a-z]+:?[a-z]*))"),
            matches(noteSwitches, R"(`(/[a-z]+:?[a-z]*))"));

  const std::string noteCodes = section(notes.str(), "## Exit status", "\n## ");
  const std::string usageCodes = section(usage, "Exit status:", "\nA failure");
  EXPECT_EQ(matches(usageCodes, R"(\n  (\d+)  )"), matches(noteCodes, R"(\n\| (\d+) \|)"));
  EXPECT_EQ(matches(usageCodes, R"(\n  (\d+)  )").size(), 9u);
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
