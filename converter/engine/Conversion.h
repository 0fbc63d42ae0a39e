// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/core/ConverterOptions.h"
#include "converter/engine/Codec.h"

#include <functional>

namespace karvelo::converter {

// One whole conversion: checks the names, reads the headers, waits for a slot, decodes,
// resizes, turns the result upright, encodes and writes it safely. Throws ConversionError.
void convert(const ConverterOptions& options, const Codecs& codecs);

// The part of a conversion between the source's bytes and the result's: reads the headers and
// refuses what is beyond the limits, decodes, resizes, turns upright and encodes. The result's
// sink is opened by `openResult` only once the source has proved readable. Throws
// ConversionError. Also what fuzzing runs on pictures held in memory.
void convertPicture(const ByteSource& source, PictureFormat format, const ConverterOptions& options,
                    const Codecs& codecs, const std::function<ByteSink&()>& openResult);

}  // namespace karvelo::converter
