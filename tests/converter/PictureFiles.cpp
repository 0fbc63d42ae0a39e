#include "TestPictures.h"

#include "converter/engine/SourceFile.h"
#include "converter/engine/WholePicture.h"

#include <fstream>
#include <stdexcept>

namespace karvelo::converter::testing {

void writePicture(const std::filesystem::path& path, const Picture& picture, PictureFormat format) {
  const std::vector<std::uint8_t> bytes = encodePicture(platformCodecs(), format, picture);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

Picture readPicture(const std::filesystem::path& path) {
  return decodePicture(platformCodecs(), SourceFile(path.string()));
}

}  // namespace karvelo::converter::testing
