#pragma once

#include "converter/engine/Picture.h"
#include "converter/engine/SourceFile.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace karvelo::converter {

// Reads and writes one picture format.
class Codec {
 public:
  virtual ~Codec() = default;

  // The stored size (and orientation where the headers hold it), without reading pixels.
  virtual PictureHeader probe(const SourceFile& source) const = 0;

  // The whole picture. A codec that can decode at a reduced scale may return a smaller image,
  // but never one smaller than `atLeast` on either side (both as stored).
  virtual Picture decode(const SourceFile& source, PixelSize atLeast) const = 0;

  // The file contents of the picture in this format, with its metadata where the format holds it.
  virtual std::vector<std::uint8_t> encode(const Picture& picture) const = 0;
};

// The format a file's first bytes announce.
std::optional<PictureFormat> detectFormat(std::span<const std::uint8_t> head);

std::unique_ptr<Codec> codecFor(PictureFormat format);

// Throws ConversionError(DamagedPicture) with the given reason.
[[noreturn]] void damagedPicture(const std::string& reason);

// Throws ConversionError(PictureTooLarge) when a side exceeds what the format can store.
void checkFormatLimit(PixelSize size, std::uint32_t maxSide, const char* formatName);

}  // namespace karvelo::converter
