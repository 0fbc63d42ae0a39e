// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/core/ConverterOptions.h"
#include "converter/core/PathStyle.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Reads the converter's switches from the words of its command line (without the program path):
// /s:<source> /d:<folder> /m:r|h|hr|w|wr /r:<factor> /h:<pixels> /w:<pixels> /o /pre:<text>
// /suf:<text>, in any order, each once. Switch names ignore case. Every word is a switch: a value
// holding blanks is one quoted word ("/pre:"my pic""), and a plain word is a usage fault. Any
// fault throws a ConversionError of kind ExitCode::Usage.
namespace karvelo::converter {

ConverterOptions parseSwitches(const std::vector<std::string>& words,
                               PathStyle style = nativePathStyle);

// The switch words of a whole command line as Windows hands it over (GetCommandLineW): the program
// path comes first, unquoted and possibly holding blanks, so every word before the first one that
// starts with a switch name belongs to it and is dropped.
std::vector<std::string> switchWords(std::string_view commandLine);

// A ratio factor: digits with at most one decimal point or locale comma ("0.25", "0,25", ".25",
// "00.25"), more than 0 and at most 10.
double parseFactor(std::string_view text);

// A height or width as the user typed it: a decimal number with an optional sign, decimal point or
// comma and exponent ("480", "12.5", "1e3"), with blanks around it allowed; a fraction is rounded
// half away from zero, and the result must be at least 1 and at most maxPixels.
std::uint32_t parsePixels(std::string_view text);

inline constexpr std::uint32_t maxPixels = 1'000'000;

}  // namespace karvelo::converter
