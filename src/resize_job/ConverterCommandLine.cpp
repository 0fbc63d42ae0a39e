// SPDX-License-Identifier: GPL-3.0-or-later
#include "resize_job/ConverterCommandLine.h"

#include "forms/RuntimeError.h"
#include "resize_job/NumberText.h"

namespace karvelo::resize_job {

namespace {

constexpr char Quote = '"';

void requireNoQuote(const std::string& text) {
  if (text.find(Quote) != std::string::npos) {
    throw RuntimeError(RuntimeError::FileNotFound,
                       "a text with a double quote cannot be passed to the converter: " + text);
  }
}

// A switch's typed value as one word of the command line. A blank would end the word and let the
// rest read as further switches (a prefix "x /o" turning on /o), so a value holding one is
// quoted; a double quote could not be carried inside the quotes and is a failed start.
std::string typedValue(const std::string& text) {
  requireNoQuote(text);
  if (text.find_first_of(" \t") == std::string::npos) return text;
  return Quote + text + Quote;
}

std::string methodSegment(const ResizeRequest& request, char decimalSeparator) {
  switch (request.Method) {
    case ResizeMethod::Ratio: {
      const double factor = textToDouble(request.RatioText, decimalSeparator) / 100.0;
      return " /m:r /r:0" + doubleToText(factor, decimalSeparator);
    }
    case ResizeMethod::SpecificHeight:
      return std::string(" /m:h") + (request.MaintainAspect ? "r" : "") +
             " /h:" + typedValue(request.HeightText);
    case ResizeMethod::SpecificWidth:
      return std::string(" /m:w") + (request.MaintainAspect ? "r" : "") +
             " /w:" + typedValue(request.WidthText) + " ";
    case ResizeMethod::None:
      break;
  }
  return {};
}

}  // namespace

ConverterSegments PrepareConverterSegments(const ResizeRequest& request, char decimalSeparator) {
  ConverterSegments segments;
  segments.method = methodSegment(request, decimalSeparator);
  if (request.Overwrite) {
    segments.naming = " /o";
  } else if (!request.Prefix.empty()) {
    segments.naming = " /pre:" + typedValue(request.Prefix) + " ";
  }
  // The hyphen belongs to the suffix, so it goes inside the quotes with it.
  if (!request.Suffix.empty()) segments.suffix = " /suf:" + typedValue("-" + request.Suffix);
  return segments;
}

std::string BuildConverterCommandLine(const std::string& programFolder,
                                      const ResizeRequest& request,
                                      const ConverterSegments& segments,
                                      const std::string& fileName,
                                      const platform::PathStyle& paths) {
  requireNoQuote(request.SourceFolder);
  requireNoQuote(request.DestFolder);
  requireNoQuote(fileName);
  std::string line;
  line.reserve(programFolder.size() + request.SourceFolder.size() + fileName.size() +
               request.DestFolder.size() + segments.method.size() + segments.naming.size() +
               segments.suffix.size() + 40);
  line += programFolder;
  line += paths.separator;
  line += paths.converterName;
  line += " /s:";
  line += Quote;
  line += request.SourceFolder;
  line += paths.separator;
  line += fileName;
  line += Quote;
  line += " /d:";
  line += Quote;
  line += request.DestFolder;
  line += Quote;
  line += segments.method;
  line += segments.naming;
  line += segments.suffix;
  return line;
}

}  // namespace karvelo::resize_job
