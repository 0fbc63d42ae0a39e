#pragma once

#include "converter/core/ConverterOptions.h"
#include "converter/engine/Codec.h"

namespace karvelo::converter {

// One whole conversion: checks the names, reads the headers, waits for a slot, decodes,
// resizes, turns the result upright, encodes and writes it safely. Throws ConversionError.
void convert(const ConverterOptions& options, const Codecs& codecs);

}  // namespace karvelo::converter
