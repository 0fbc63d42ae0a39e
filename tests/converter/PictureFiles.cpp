// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestPictures.h"

#include "ConverterProcess.h"

#include "converter/core/ConversionError.h"
#include "converter/engine/SourceFile.h"
#include "converter/engine/WholePicture.h"

#include <fstream>
#include <stdexcept>

namespace karvelo::converter::testing {

bool platformWrites(PictureFormat format) {
  try {
    platformCodecs().encoder(format);
    return true;
  } catch (const ConversionError&) {
    return false;
  }
}

void writePicture(const std::filesystem::path& path, const Picture& picture, PictureFormat format) {
  const std::vector<std::uint8_t> bytes = encodePicture(platformCodecs(), format, picture);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + utf8(path));
  }
}

Picture readPicture(const std::filesystem::path& path) {
  return decodePicture(platformCodecs(), SourceFile(utf8(path)));
}

}  // namespace karvelo::converter::testing
