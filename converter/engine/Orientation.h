#pragma once

#include "converter/engine/Image.h"

namespace karvelo::converter {

// Turns the stored pixels upright as the EXIF orientation (1 to 8) says: 2 mirrors, 3 turns
// half round, 4 flips, 5 transposes, 6 turns a quarter clockwise, 7 transverses, 8 turns a
// quarter anticlockwise. Other values leave the image as it is.
Image orientUpright(Image stored, int orientation);

// The upright size of a stored size.
PixelSize uprightSize(PixelSize stored, int orientation);

}  // namespace karvelo::converter
