// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace karvelo::converter {

enum class SizeMethod { Ratio, Height, Width };

// The switches of one converter command line, checked and converted.
struct ConverterOptions {
  std::string source;      // /s: the picture to read
  std::string destFolder;  // /d: the folder to write into
  SizeMethod method = SizeMethod::Ratio;
  bool keepAspect = false;   // /m:hr or /m:wr; a ratio always keeps it
  double factor = 0.0;       // /r: for SizeMethod::Ratio, in (0, 10]
  std::uint32_t pixels = 0;  // /h: or /w: for the other methods, at least 1
  bool overwrite = false;    // /o: write the source's own name, replacing an existing file
  std::string prefix;        // /pre:
  std::string suffix;        // /suf:
};

}  // namespace karvelo::converter
