// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/OutputNaming.h"

#include "converter/core/ConversionError.h"

namespace karvelo::converter {

namespace {

bool isSeparator(char c, PathStyle style) {
  return c == '/' || (style == PathStyle::Windows && c == '\\');
}

}  // namespace

std::string_view fileNameOf(std::string_view path, PathStyle style) {
  std::size_t start = path.size();
  while (start > 0 && !isSeparator(path[start - 1], style) &&
         !(style == PathStyle::Windows && path[start - 1] == ':')) {
    --start;
  }
  return path.substr(start);
}

NameParts splitName(std::string_view fileName) {
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot == 0) {
    return {fileName, {}};
  }
  return {fileName.substr(0, dot), fileName.substr(dot)};
}

std::string joinPath(std::string_view folder, std::string_view fileName, PathStyle style) {
  std::string path(folder);
  if (path.empty() || !isSeparator(path.back(), style)) {
    path.push_back(style == PathStyle::Windows ? '\\' : '/');
  }
  path.append(fileName);
  return path;
}

std::string outputPath(const ConverterOptions& options, PathStyle style) {
  const std::string_view sourceName = fileNameOf(options.source, style);
  if (sourceName.empty() || sourceName == "." || sourceName == "..") {
    throw ConversionError(ExitCode::Usage, "the source \"" + options.source + "\" names no file");
  }
  if (options.overwrite) {
    return joinPath(options.destFolder, sourceName, style);
  }
  const NameParts parts = splitName(sourceName);
  std::string name = options.prefix;
  name.append(parts.stem).append(options.suffix).append(parts.extension);
  return joinPath(options.destFolder, name, style);
}

}  // namespace karvelo::converter
