#pragma once

#include "converter/core/ConverterOptions.h"

namespace karvelo::converter {

// One whole conversion: checks the names, reads the headers, waits for a slot, decodes, turns
// the picture upright, resizes, encodes and writes the result safely. Throws ConversionError.
void convert(const ConverterOptions& options);

}  // namespace karvelo::converter
