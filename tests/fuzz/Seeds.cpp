// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seed inputs of every fuzz target into <folder>/<target>/: small sound pictures of
// each format, colour model and encoding the converter writes, with and without an EXIF block of
// each orientation; EXIF blocks of each orientation; converter command lines of each method; and
// requests, list steps and registry values in the targets' own byte layouts. Made here rather than
// kept as files, so that they follow the code.
#include "converter/TestPictures.h"
#include "converter/engine/WholePicture.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

using namespace karvelo::converter;
namespace fs = std::filesystem;

namespace {

// The choices of one run laid out as FuzzInput reads them.
class Choices {
 public:
  Choices& byte(unsigned value) {
    bytes_.push_back(static_cast<std::uint8_t>(value));
    return *this;
  }
  Choices& number(unsigned value) { return byte(value & 0xFF).byte(value >> 8); }
  Choices& text(const std::string& value) {
    byte(static_cast<unsigned>(value.size()));
    bytes_.insert(bytes_.end(), value.begin(), value.end());
    return *this;
  }
  Choices& bytes(const std::vector<std::uint8_t>& value) {
    bytes_.insert(bytes_.end(), value.begin(), value.end());
    return *this;
  }
  const std::vector<std::uint8_t>& all() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

class Corpus {
 public:
  Corpus(const fs::path& folder, const std::string& target) : folder_(folder / target) {
    fs::create_directories(folder_);
  }

  void add(const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(folder_ / ("seed-" + std::to_string(++count_)), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  void add(const std::string& text) { add(std::vector<std::uint8_t>(text.begin(), text.end())); }
  int count() const { return count_; }

 private:
  fs::path folder_;
  int count_ = 0;
};

void pictures(Corpus& corpus) {
  const PictureFormat formats[] = {PictureFormat::Jpeg, PictureFormat::Png,  PictureFormat::Webp,
                                   PictureFormat::Bmp,  PictureFormat::Gif,  PictureFormat::Tiff,
                                   PictureFormat::Heif, PictureFormat::Avif};
  const ColorModel models[] = {ColorModel::Gray, ColorModel::GrayAlpha, ColorModel::Rgb,
                               ColorModel::Rgba, ColorModel::Cmyk};
  for (PictureFormat format : formats) {
    for (ColorModel model : models) {
      for (int variant = 0; variant < 3; ++variant) {
        Picture picture;
        picture.image = testing::texture({24, 16}, model);
        // The second encoding where a format has one: lossless WebP, JPEG without subsampling,
        // TIFF compressed with deflate.
        picture.hints = {.lossless = variant == 1,
                         .chroma = variant == 1 ? ChromaSampling{1, 1} : ChromaSampling{},
                         .compression = variant == 1 ? 8 : 0};
        if (variant == 2) picture.metadata.exif = testing::exifBlock(6, true);
        try {
          const std::vector<std::uint8_t> file = encodePicture(platformCodecs(), format, picture);
          // The first byte chooses the size asked for: each method once.
          corpus.add(Choices().byte(static_cast<unsigned>(model) % 4).bytes(file).all());
        } catch (const std::exception&) {
          // A colour model the format does not write.
        }
      }
    }
    for (std::uint16_t orientation = 1; orientation <= 8; ++orientation) {
      Picture picture;
      picture.image = testing::quadrants(
          {12, 8}, {testing::red, testing::green, testing::blue, testing::white});
      picture.metadata.exif = testing::exifBlock(orientation);
      picture.metadata.orientation = orientation;  // a HEIF file's own rotation and mirror
      try {
        corpus.add(Choices()
                       .byte(orientation)
                       .bytes(encodePicture(platformCodecs(), format, picture))
                       .all());
      } catch (const std::exception&) {
        // A format that carries no EXIF block.
      }
    }
  }
}

void exifBlocks(Corpus& corpus) {
  for (std::uint16_t orientation = 0; orientation <= 9; ++orientation) {
    for (bool thumbnail : {false, true}) {
      corpus.add(
          Choices().number(640).number(30).bytes(testing::exifBlock(orientation, thumbnail)).all());
    }
  }
}

void commandLines(Corpus& corpus) {
  for (const char* line : {
           R"(/s:/home/ann/a.jpg /d:/tmp /m:r /r:0.5)",
           R"(/s:"/home/ann/My Photos/a b.png" /d:"/tmp/x y" /m:r /r:0,25 /pre:small- /o)",
           R"(/S:"C:\My Photos\beach.JPG" /D:D:\ /M:H /H:480 /suf:-480)",
           R"(/s:"C:\My Photos\beach.jpg" /d:"D:\out" /m:hr /h:12.5 /pre:"a b" /suf:"c d")",
           R"(/s:x.gif /d:. /m:w /w:1e3)",
           R"(/s:x.webp /d:. /m:wr /w:640 /o)",
           R"(/s:"x"".tif" /d:"" /m:r /r:.5 /pre: /suf:)",
           "--help",
           "/?",
           "--version",
       }) {
    corpus.add(line);
  }
}

void requests(Corpus& corpus) {
  // windows, comma, method (1 ratio, 2 height, 3 width), aspect, overwrite, then the texts
  // (source folder, destination, file name, ratio, height, width, prefix, suffix).
  struct Request {
    bool windows, comma;
    unsigned method;
    bool aspect, overwrite;
    std::string source, dest, file, ratio, height, width, prefix, suffix;
  };
  for (const Request& r : std::vector<Request>{
           {false, false, 0, false, false, "/home/ann", "/tmp", "a.jpg", "50", "", "", "", ""},
           {true, true, 1, true, false, "C:\\My Photos", "D:\\", "b c.PNG", "", "12,5", "", "x-",
            "small"},
           {false, false, 2, false, true, "/a b", "/c d", "e.gif", "", "", "1e3", "p", "s"},
           {true, false, 2, true, false, "C:\\", "C:\\out", "\xD0\x96.webp", "", "", "640", "", ""},
       }) {
    corpus.add(Choices()
                   .byte(r.windows)
                   .byte(r.comma)
                   .number(r.method)
                   .byte(r.aspect)
                   .byte(r.overwrite)
                   .text(r.source)
                   .text(r.dest)
                   .text(r.file)
                   .text(r.ratio)
                   .text(r.height)
                   .text(r.width)
                   .text(r.prefix)
                   .text(r.suffix)
                   .all());
  }
}

void listSteps(Corpus& corpus) {
  // A language, then steps: the step's list and kind, an index, and the kind's own choices.
  for (unsigned language = 0; language < 5; ++language) {
    Choices steps;
    steps.byte(language);
    for (const char* name : {"b.jpg", "A.png", "\xC3\xA4.gif", "a.jpg", "10.bmp", "9.bmp"}) {
      steps.byte(0).number(0).text(name);
    }
    steps.byte(2).number(1).byte(1);                      // select the second
    steps.byte(3).number(2).number(7).number(0);          // item data on the third
    steps.byte(4).number(0);                              // "=>"
    steps.byte(0x85).number(0);                           // select all on the right
    steps.byte(0x84).number(0);                           // "<="
    steps.byte(7).number(0).number(1).number(3).byte(1);  // select a range
    steps.byte(1).number(0);                              // remove the first
    steps.byte(8).number(0);                              // clear
    corpus.add(steps.all());
  }
}

void registryValues(Corpus& corpus) {
  const std::string path =
      "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe";
  // A string, a number, and an expandable string (type 2, chosen after the kind).
  for (unsigned kind : {1u, 2u, 3u}) {
    Choices first;
    first.byte(kind);
    if (kind == 3) first.number(2);
    corpus.add(first.number(static_cast<unsigned>(path.size()) + 1)
                   .text(path)
                   .byte(kind == 1 ? 0 : 1)
                   .number(static_cast<unsigned>(path.size()))
                   .text(path)
                   .byte(1)
                   .byte(0)
                   .all());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: fuzz_seeds FOLDER\n";
    return 2;
  }
  const fs::path folder = argv[1];
  Corpus picture(folder, "picture"), exif(folder, "exif"), commandLine(folder, "command_line"),
      requestLine(folder, "request_line"), listBox(folder, "list_box"),
      registry(folder, "registry_value");
  pictures(picture);
  exifBlocks(exif);
  commandLines(commandLine);
  requests(requestLine);
  listSteps(listBox);
  registryValues(registry);
  std::cout << picture.count() << " pictures, " << exif.count() << " EXIF blocks, "
            << commandLine.count() << " command lines, " << requestLine.count() << " requests, "
            << listBox.count() << " list step sequences, " << registry.count()
            << " registry values\n";
  return 0;
}
