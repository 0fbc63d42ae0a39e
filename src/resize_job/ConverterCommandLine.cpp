#include "resize_job/ConverterCommandLine.h"

#include "forms/RuntimeError.h"
#include "resize_job/NumberText.h"

namespace karvelo::resize_job {

namespace {

constexpr char Quote = '"';

void requireNoQuote(const std::string& path) {
  if (path.find(Quote) != std::string::npos) {
    throw RuntimeError(RuntimeError::FileNotFound,
                       "a path with a double quote cannot be passed to the converter: " + path);
  }
}

std::string methodSegment(const ResizeRequest& request, char decimalSeparator) {
  switch (request.Method) {
    case ResizeMethod::Ratio: {
      const double factor = textToDouble(request.RatioText, decimalSeparator) / 100.0;
      return " /m:r /r:0" + doubleToText(factor, decimalSeparator);
    }
    case ResizeMethod::SpecificHeight:
      return std::string(" /m:h") + (request.MaintainAspect ? "r" : "") +
             " /h:" + request.HeightText;
    case ResizeMethod::SpecificWidth:
      return std::string(" /m:w") + (request.MaintainAspect ? "r" : "") +
             " /w:" + request.WidthText + " ";
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
    segments.naming = " /pre:" + request.Prefix + " ";
  }
  if (!request.Suffix.empty()) segments.suffix = " /suf:-" + request.Suffix;
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
