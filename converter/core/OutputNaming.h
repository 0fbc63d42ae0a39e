// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/core/ConverterOptions.h"
#include "converter/core/PathStyle.h"

#include <string>
#include <string_view>

// Where the converter writes: the destination folder, then the prefix, the source's stem, the
// suffix and the source's extension ("beach.jpg" with prefix "t" and suffix "-small" becomes
// "tbeach-small.jpg"). With /o the output takes the source's own file name.
namespace karvelo::converter {

struct NameParts {
  std::string_view stem;       // the name up to its last dot ("beach" of "beach.jpg")
  std::string_view extension;  // from the last dot on (".jpg"); empty when there is none
};

// The file name of a path: what follows its last separator.
std::string_view fileNameOf(std::string_view path, PathStyle style = nativePathStyle);

// Splits a file name at its last dot; a leading dot (".profile") does not start an extension.
NameParts splitName(std::string_view fileName);

// Joins a folder and a file name with one separator, adding none after a folder that already
// ends in one (a drive root such as "C:\" or the POSIX root "/").
std::string joinPath(std::string_view folder, std::string_view fileName,
                     PathStyle style = nativePathStyle);

// The full output path; throws ConversionError(Usage) when the source names no file.
std::string outputPath(const ConverterOptions& options, PathStyle style = nativePathStyle);

}  // namespace karvelo::converter
