// SPDX-License-Identifier: GPL-3.0-or-later
// The converter's command line as arbitrary text: the splitter that the process start and the
// converter share, the switch parser in both path styles, the output name, and the help
// request. Every text either gives sound switches or is refused as a usage error.
#include "FuzzInput.h"

#include "common/CommandLine.h"
#include "converter/core/ConversionError.h"
#include "converter/core/OutputNaming.h"
#include "converter/core/SwitchParser.h"
#include "converter/core/Usage.h"

using namespace karvelo;
using namespace karvelo::converter;
using karvelo::fuzz::require;

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Each word covers its span of the text, quotes dropped; spans are in order and separated by
// blanks; and the words, quoted again where they hold a blank, split back into themselves.
void checkWords(std::string_view text) {
  const std::vector<common::Word> words = common::splitWords(text);
  std::string requoted;
  std::size_t previousEnd = 0;
  for (const common::Word& word : words) {
    require(word.begin < word.end && word.end <= text.size(), "a word spans part of the text");
    require(word.begin == 0 || (word.begin > previousEnd && isBlank(text[word.begin - 1])),
            "words are separated by blanks");
    require(!isBlank(text[word.begin]), "a word does not begin with a blank");
    std::string unquoted;
    for (char c : text.substr(word.begin, word.end - word.begin)) {
      if (c != '"') unquoted.push_back(c);
    }
    require(word.text == unquoted, "a word is its span without quotes");
    previousEnd = word.end;
    const bool quote = word.text.empty() || word.text.find_first_of(" \t") != std::string::npos;
    requoted += (requoted.empty() ? "" : " ") + (quote ? '"' + word.text + '"' : word.text);
  }
  for (std::size_t i = previousEnd; i < text.size(); ++i) {
    require(isBlank(text[i]), "only blanks follow the last word");
  }
  require(common::splitCommandLine(requoted) == common::splitCommandLine(text),
          "requoted words split back into themselves");
}

void checkOptions(const ConverterOptions& options, PathStyle style) {
  require(!options.source.empty() && !options.destFolder.empty(), "source and destination given");
  if (options.method == SizeMethod::Ratio) {
    require(options.factor > 0.0 && options.factor <= 10.0, "a factor above 0 and at most 10");
  } else {
    require(options.pixels >= 1 && options.pixels <= maxPixels, "a size of 1 to 1000000 pixels");
  }
  try {
    const std::string output = outputPath(options, style);
    const std::string_view name = fileNameOf(output, style);
    require(!name.empty() && name != "." && name != "..", "the output names a file");
    require(output.starts_with(options.destFolder), "the output lies in the destination folder");
    require(output.size() - name.size() <= options.destFolder.size() + 1,
            "the output's name is not spread over further folders");
  } catch (const ConversionError& error) {
    require(error.code() == ExitCode::Usage, "a source naming no file is a usage error");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  checkWords(text);
  for (PathStyle style : {PathStyle::Posix, PathStyle::Windows}) {
    try {
      checkOptions(parseSwitches(switchWords(text), style), style);
    } catch (const ConversionError& error) {
      require(error.code() == ExitCode::Usage, "every refused command line is a usage error");
    }
  }
  // A request for the usage or the version never holds a switch.
  require(infoRequest(text) == InfoRequest::None || switchWords(text).empty(),
          "help is asked only without switches");
  return 0;
}
