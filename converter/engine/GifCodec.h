#pragma once

#include "converter/engine/Codec.h"

namespace karvelo::converter {

class GifCodec : public Codec {
 public:
  PictureHeader probe(const SourceFile& source) const override;
  Picture decode(const SourceFile& source, PixelSize atLeast) const override;
  std::vector<std::uint8_t> encode(const Picture& picture) const override;
};

}  // namespace karvelo::converter
