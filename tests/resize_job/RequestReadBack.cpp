// SPDX-License-Identifier: GPL-3.0-or-later
#include "resize_job/RequestReadBack.h"

#include "converter/core/ConversionError.h"
#include "converter/core/SwitchParser.h"
#include "forms/RuntimeError.h"
#include "resize_job/ConverterCommandLine.h"
#include "resize_job/NumberText.h"

#include <cmath>

namespace karvelo::testing {

namespace conv = karvelo::converter;
using namespace karvelo::resize_job;

namespace {

bool holdsQuote(const std::string& text) { return text.find('"') != std::string::npos; }

}  // namespace

std::optional<std::string> readBackFault(const ResizeRequest& r, char separator,
                                         const LineStyle& style) {
  const std::string prefix = r.Overwrite ? "" : r.Prefix;
  const std::string suffix = r.Suffix.empty() ? "" : "-" + r.Suffix;
  const std::string& typed = r.Method == ResizeMethod::SpecificHeight  ? r.HeightText
                             : r.Method == ResizeMethod::SpecificWidth ? r.WidthText
                                                                       : r.RatioText;
  const std::optional<double> number = parseNumber(typed, separator);
  const bool failedStart = holdsQuote(r.SourceFolder) || holdsQuote(r.DestFolder) ||
                           holdsQuote(r.FileNames.at(0)) || holdsQuote(prefix + suffix) || !number;
  std::string line;
  try {
    line = BuildConverterCommandLine(std::string(style.programFolder), r,
                                     PrepareConverterSegments(r, separator), r.FileNames[0],
                                     style.paths);
  } catch (const RuntimeError&) {
    if (!failedStart) return "a failed start for a request the converter could read";
    return std::nullopt;
  }
  if (failedStart) return "a command line for a text it cannot carry: " + line;

  const char* forbidden = style.converter == conv::PathStyle::Windows ? "/\\:*?\"<>|" : "/";
  bool forbiddenName = (prefix + suffix).find_first_of(forbidden) != std::string::npos ||
                       (prefix + suffix).find('\0') != std::string::npos;
  for (char c : prefix + suffix) {
    forbiddenName = forbiddenName || (style.converter == conv::PathStyle::Windows &&
                                      static_cast<unsigned char>(c) < 32);
  }
  const double pixels = std::round(*number);
  const bool badSize = r.Method == ResizeMethod::Ratio
                           ? !(*number > 0.0)
                           : !(pixels >= 1 && pixels <= conv::maxPixels);
  const bool refused = forbiddenName || badSize;
  try {
    const conv::ConverterOptions options =
        conv::parseSwitches(conv::switchWords(line), style.converter);
    if (refused) return "the converter took a request it must refuse: " + line;
    auto differs = [&](const char* what) { return std::string(what) + " differs in: " + line; };
    if (options.source != r.SourceFolder + style.paths.separator + r.FileNames[0]) {
      return differs("the source");
    }
    if (options.destFolder != r.DestFolder) return differs("the destination");
    if (options.prefix != prefix) return differs("the prefix");
    if (options.suffix != suffix) return differs("the suffix");
    if (options.overwrite != r.Overwrite) return differs("overwriting");
    if (r.Method == ResizeMethod::Ratio) {
      const double factor = *number / 100.0;
      if (options.method != conv::SizeMethod::Ratio ||
          std::abs(options.factor - factor) > 1e-12 * factor) {
        return differs("the ratio");
      }
    } else {
      const conv::SizeMethod method = r.Method == ResizeMethod::SpecificHeight
                                          ? conv::SizeMethod::Height
                                          : conv::SizeMethod::Width;
      if (options.method != method || options.keepAspect != r.MaintainAspect) {
        return differs("the method");
      }
      if (options.pixels != static_cast<std::uint32_t>(pixels)) return differs("the size");
    }
  } catch (const conv::ConversionError& error) {
    if (!refused || error.code() != conv::ExitCode::Usage) {
      return "the converter refused " + line + ": " + error.what();
    }
  }
  return std::nullopt;
}

}  // namespace karvelo::testing
