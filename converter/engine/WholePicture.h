// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/Codec.h"

#include <vector>

// Whole pictures in memory, read and written through a platform's codecs and the shared header
// and metadata code, as a conversion does: for tests, benchmarks and fuzzing.
namespace karvelo::converter {

// Decodes at full scale. Throws ConversionError like a conversion.
Picture decodePicture(const Codecs& codecs, const ByteSource& source);

std::vector<std::uint8_t> encodePicture(const Codecs& codecs, PictureFormat format,
                                        const Picture& picture);

}  // namespace karvelo::converter
