// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestPictures.h"

#include "ConverterProcess.h"

#include "converter/core/ConversionError.h"
#include "converter/engine/SourceFile.h"
#include "converter/engine/WholePicture.h"
#include "converter/metadata/Headers.h"

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

Frames readFrames(const std::filesystem::path& path) {
  const SourceFile source(utf8(path));
  const std::optional<PictureFormat> format = detectFormat(source.read(0, 16));
  if (!format) {
    throw std::runtime_error(utf8(path) + " is no picture");
  }
  const std::unique_ptr<Decoder> decoder = platformCodecs().decoder(*format, source);
  Frames frames;
  std::optional<DecodedRows> rows = decoder->start(readHeaders(*format, source).size);
  frames.loops = rows->loops;
  for (; rows; rows = decoder->nextFrame()) {
    Frame frame{Image::blank(rows->size, rows->model, rows->bitsPerSample),
                rows->timing.delayMs, rows->timing.disposal};
    const std::size_t bytes = frame.image.rowBytes();
    for (std::uint32_t y = 0; y < rows->size.height; ++y) {
      decoder->readRow(std::span(frame.image.pixels).subspan(y * bytes, bytes));
    }
    frames.frames.push_back(std::move(frame));
  }
  return frames;
}

void writePicturesThatPartlyFail(const std::filesystem::path& source,
                                 const std::filesystem::path& dest) {
  Picture picture;
  picture.image = quadrants({120, 80}, {red, green, blue, white});
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "exists.jpg", "killed.jpg"}) {
    writePicture(source / name, picture, PictureFormat::Jpeg);
  }
  writePicture(source / "cut.png", picture, PictureFormat::Png);
  const std::filesystem::path cut = source / "cut.png";
  std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
  std::ofstream(source / "note.jpg") << "a note, not a picture";
  std::ofstream(dest / "texists.jpg") << "kept";
}

std::string partlyFailedMessage(const std::string& converterLog) {
  return std::string("4 of 7 pictures were not resized:\n"
                     "cut.png: damaged picture\n"
                     "exists.jpg: the output exists and Overwrite is not ticked\n"
                     "killed.jpg: the converter ended without a result\n"
                     "note.jpg: not a picture or a kind the converter cannot read\n"
                     "\nThe converter's log: ")
      .append(converterLog);
}

}  // namespace karvelo::converter::testing
