#include "converter/engine/Orientation.h"

#include <cstring>

namespace karvelo::converter {

PixelSize uprightSize(PixelSize stored, int orientation) {
  return orientation >= 5 && orientation <= 8 ? stored.transposed() : stored;
}

Image orientUpright(Image stored, int orientation) {
  if (orientation < 2 || orientation > 8) {
    return stored;
  }
  const PixelSize size = uprightSize(stored.size, orientation);
  Image upright = Image::blank(size, stored.model);
  const std::size_t channels = static_cast<std::size_t>(stored.channels());
  const std::size_t storedWidth = stored.size.width;
  const std::size_t lastColumn = stored.size.width - 1;
  const std::size_t lastRow = stored.size.height - 1;
  std::uint8_t* out = upright.pixels.data();
  for (std::size_t y = 0; y < size.height; ++y) {
    for (std::size_t x = 0; x < size.width; ++x, out += channels) {
      std::size_t column = x;
      std::size_t row = y;
      switch (orientation) {
        case 2:
          column = lastColumn - x;
          break;
        case 3:
          column = lastColumn - x;
          row = lastRow - y;
          break;
        case 4:
          row = lastRow - y;
          break;
        case 5:
          column = y;
          row = x;
          break;
        case 6:
          column = y;
          row = lastRow - x;
          break;
        case 7:
          column = lastColumn - y;
          row = lastRow - x;
          break;
        case 8:
          column = lastColumn - y;
          row = x;
          break;
        default:
          break;
      }
      std::memcpy(out, stored.pixels.data() + (row * storedWidth + column) * channels, channels);
    }
  }
  return upright;
}

}  // namespace karvelo::converter
