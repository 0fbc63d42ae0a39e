#include "converter/engine/Orientation.h"

#include <cstddef>
#include <cstring>

namespace karvelo::converter {

PixelSize uprightSize(PixelSize stored, int orientation) {
  return orientation >= 5 && orientation <= 8 ? stored.transposed() : stored;
}

Image orientUpright(Image stored, int orientation) {
  if (orientation < 2 || orientation > 8) {
    return stored;
  }
  // The stored pixel that lands at the upright (x, y) is at first + x * stepX + y * stepY, in
  // pixels: each orientation is a start corner and two steps, found once rather than per pixel.
  const auto width = static_cast<std::ptrdiff_t>(stored.size.width);
  const std::ptrdiff_t lastColumn = width - 1;
  const std::ptrdiff_t lastRow = static_cast<std::ptrdiff_t>(stored.size.height) - 1;
  struct Walk {
    std::ptrdiff_t first;
    std::ptrdiff_t stepX;
    std::ptrdiff_t stepY;
  };
  const Walk walks[7] = {
      {lastColumn, -1, width},                     // 2: mirrored left to right
      {lastRow * width + lastColumn, -1, -width},  // 3: turned half way
      {lastRow * width, 1, -width},                // 4: mirrored top to bottom
      {0, width, 1},                               // 5: transposed
      {lastRow * width, -width, 1},                // 6: turned a quarter clockwise
      {lastRow * width + lastColumn, -width, -1},  // 7: transversed
      {lastColumn, width, -1},                     // 8: turned a quarter anticlockwise
  };
  const Walk walk = walks[orientation - 2];
  const PixelSize size = uprightSize(stored.size, orientation);
  Image upright = Image::blank(size, stored.model);
  const auto channels = static_cast<std::ptrdiff_t>(stored.channels());
  const std::uint8_t* in = stored.pixels.data();
  std::uint8_t* out = upright.pixels.data();
  for (std::size_t y = 0; y < size.height; ++y) {
    std::ptrdiff_t from = walk.first + static_cast<std::ptrdiff_t>(y) * walk.stepY;
    for (std::size_t x = 0; x < size.width; ++x, out += channels, from += walk.stepX) {
      std::memcpy(out, in + from * channels, static_cast<std::size_t>(channels));
    }
  }
  return upright;
}

}  // namespace karvelo::converter
