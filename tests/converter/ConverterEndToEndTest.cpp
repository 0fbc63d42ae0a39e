#include "ConverterProcess.h"
#include "TestPictures.h"

#include "converter/core/ExifBlock.h"
#include "converter/core/ExitCode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;
using namespace karvelo::converter;
using namespace karvelo::converter::testing;

namespace {

int code(ExitCode exitCode) { return static_cast<int>(exitCode); }

// An EXIF block holding only the orientation, little-endian.
std::vector<std::uint8_t> exifWithOrientation(std::uint16_t orientation) {
  return {'I',
          'I',
          42,
          0,
          8,
          0,
          0,
          0,
          1,
          0,
          0x12,
          0x01,
          3,
          0,
          1,
          0,
          0,
          0,
          static_cast<std::uint8_t>(orientation),
          0,
          0,
          0,
          0,
          0,
          0,
          0};
}

// The smallest ICC profile header: its size, version 2.1, a display profile of the colour space,
// the "acsp" signature and no tags. Enough to be carried and recognised.
std::vector<std::uint8_t> iccProfile(const char* colorSpace) {
  std::vector<std::uint8_t> profile(132, 0);
  profile[3] = 132;
  profile[8] = 2;
  profile[9] = 0x10;
  std::copy_n("mntr", 4, profile.begin() + 12);
  std::copy_n(colorSpace, 4, profile.begin() + 16);
  std::copy_n("XYZ ", 4, profile.begin() + 20);
  std::copy_n("acsp", 4, profile.begin() + 36);
  return profile;
}

class ConverterEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = fs::temp_directory_path() / ("multiconv-e2e-" + processTag() + "-" + info->name());
    removeAll(folder);
    fs::create_directories(folder / "in");
    fs::create_directories(folder / "out");
    converter = std::make_unique<ConverterProcess>(folder / "run");
  }

  void TearDown() override { removeAll(folder); }

  fs::path writeJpeg(const std::string& name, PixelSize size) {
    Picture picture;
    picture.image = ramp(size, ColorModel::Rgb);
    writePicture(folder / "in" / pathOf(name), picture, PictureFormat::Jpeg);
    return folder / "in" / pathOf(name);
  }

  std::size_t filesIn(const fs::path& dir) const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
  }

  fs::path folder;
  std::unique_ptr<ConverterProcess> converter;
};

}  // namespace

TEST_F(ConverterEndToEnd, EachMethodAndNamingGivesTheRightFileAndSize) {
  const fs::path source = writeJpeg("beach.jpg", {400, 300});
  const fs::path out = folder / "out";
  const std::string head = sourceAndDest(source, out);
  struct Case {
    std::string switches;
    std::string name;
    PixelSize size;
  };
  const std::vector<Case> cases = {
      {" /m:r /r:00.25", "beach.jpg", {100, 75}},
      {" /m:r /r:0,5 /suf:-half", "beach-half.jpg", {200, 150}},
      {" /m:r /r:.1 /pre:t ", "tbeach.jpg", {40, 30}},
      {" /m:r /r:2 /pre:big ", "bigbeach.jpg", {800, 600}},
      {" /m:h /h:120 /pre:h ", "hbeach.jpg", {400, 120}},
      {" /m:hr /h:120 /pre:hr  /suf:-small", "hrbeach-small.jpg", {160, 120}},
      {" /m:w /w:80  /pre:my  pic  /suf:-x y", "my picbeach-x y.jpg", {80, 300}},
      {" /m:wr /w:79.6  /pre:wr ", "wrbeach.jpg", {80, 60}},
  };
  for (const Case& c : cases) {
    const RunResult result = converter->run(head + c.switches);
    EXPECT_EQ(result.exitCode, 0) << c.switches << ": " << result.errorOutput;
    EXPECT_EQ(result.errorOutput, "");
    ASSERT_TRUE(fs::exists(out / c.name)) << c.switches;
    EXPECT_EQ(readPicture(out / c.name).image.size, c.size) << c.switches;
  }
  EXPECT_EQ(filesIn(out), cases.size());  // nothing else, no temporary files
  // /o writes the source's own name, whatever prefix and suffix say.
  fs::create_directories(folder / "other");
  EXPECT_EQ(
      converter->run(sourceAndDest(source, folder / "other") + " /m:hr /h:30 /o /suf:-s").exitCode,
      0);
  EXPECT_EQ(readPicture(folder / "other" / "beach.jpg").image.size, (PixelSize{40, 30}));
  EXPECT_FALSE(fs::exists(converter->logFile()));
}

TEST_F(ConverterEndToEnd, EveryFormatComesOutInItselfWithAlphaAndSize) {
  struct Case {
    PictureFormat format;
    const char* name;
    ColorModel model;
    bool lossless;
  };
  for (const Case& c : {Case{PictureFormat::Png, "a.png", ColorModel::Rgba, true},
                        Case{PictureFormat::Png, "g.png", ColorModel::GrayAlpha, true},
                        Case{PictureFormat::Webp, "a.webp", ColorModel::Rgba, true},
                        Case{PictureFormat::Webp, "b.webp", ColorModel::Rgb, false},
                        Case{PictureFormat::Bmp, "a.bmp", ColorModel::Rgb, true},
                        Case{PictureFormat::Bmp, "b.bmp", ColorModel::Rgba, true},
                        Case{PictureFormat::Gif, "a.gif", ColorModel::Rgba, false},
                        Case{PictureFormat::Tiff, "a.tif", ColorModel::Rgba, true},
                        Case{PictureFormat::Tiff, "g.tiff", ColorModel::Gray, true}}) {
    if (!platformWrites(c.format)) {
      continue;  // WebP where the system has no WebP codec
    }
    Picture picture;
    picture.image = ramp({120, 90}, c.model);
    picture.hints.lossless = c.lossless;
    picture.hints.compression = 5;  // LZW for TIFF
    writePicture(folder / "in" / c.name, picture, c.format);
    const RunResult result =
        converter->run(sourceAndDest(folder / "in" / c.name, folder / "out") + " /m:wr /w:60 ");
    ASSERT_EQ(result.exitCode, 0) << c.name << ": " << result.errorOutput;
    const Picture output = readPicture(folder / "out" / c.name);
    EXPECT_EQ(output.image.size, (PixelSize{60, 45})) << c.name;
    // Alpha as the source holds it: some Windows encoders store none in a BMP.
    const bool alpha = hasAlpha(readPicture(folder / "in" / c.name).image.model);
    EXPECT_EQ(hasAlpha(output.image.model), alpha) << c.name;
    // The first bytes name the same format.
    const std::string in = readFile(folder / "in" / c.name).substr(0, 2);
    EXPECT_EQ(readFile(folder / "out" / c.name).substr(0, 2), in) << c.name;
    // The opaque corner (bottom left) stays opaque, the nearly clear top edge stays clear.
    if (alpha) {
      const Image& image = output.image;
      const std::size_t alpha = static_cast<std::size_t>(image.channels() - 1);
      const std::size_t clear = image.size.width / 10 * image.channels() + alpha;
      const std::size_t opaque = (std::size_t{image.size.height} - 1) * image.rowBytes() + alpha;
      EXPECT_LT(image.pixels[clear], 64) << c.name;
      EXPECT_GT(image.pixels[opaque], 250) << c.name;
    }
  }
}

TEST_F(ConverterEndToEnd, WebpWithoutASystemCodecIsRefusedClearly) {
  if (platformWrites(PictureFormat::Webp)) {
    GTEST_SKIP() << "this platform reads and writes WebP";
  }
  // A 4 x 4 lossless WebP.
  const unsigned char webp[] = {'R',  'I',  'F',  'F',  0x1c, 0,    0,    0,    'W',
                                'E',  'B',  'P',  'V',  'P',  '8',  'L',  0x0f, 0,
                                0,    0,    0x2f, 0x03, 0xc0, 0,    0,    0x07, 0x10,
                                0xfd, 0x8f, 0xfe, 0x07, 0x22, 0xa2, 0xff, 0x01, 0};
  std::ofstream(folder / "in" / "w.webp", std::ios::binary)
      .write(reinterpret_cast<const char*>(webp), sizeof webp);
  const RunResult result =
      converter->run(sourceAndDest(folder / "in" / "w.webp", folder / "out") + " /m:r /r:2");
  EXPECT_EQ(result.exitCode, code(ExitCode::UnsupportedFormat));
  EXPECT_NE(result.errorOutput.find("WebP"), std::string::npos) << result.errorOutput;
  EXPECT_EQ(filesIn(folder / "out"), 0u);
}

TEST_F(ConverterEndToEnd, AllEightOrientationsComeOutUprightWithTheTagReset) {
  // Stored top left, top right, bottom left, bottom right; the upright quadrants that each
  // orientation gives, following the EXIF descriptions of row 0 and column 0.
  const std::array<Rgb, 4> stored = {red, green, blue, white};
  const std::array<std::array<Rgb, 4>, 9> upright = {{
      {},
      {red, green, blue, white},  // 1: row 0 top, column 0 left
      {green, red, white, blue},  // 2: row 0 top, column 0 right
      {white, blue, green, red},  // 3: row 0 bottom, column 0 right
      {blue, white, red, green},  // 4: row 0 bottom, column 0 left
      {red, blue, green, white},  // 5: row 0 left, column 0 top
      {blue, red, white, green},  // 6: row 0 right, column 0 top
      {white, green, blue, red},  // 7: row 0 right, column 0 bottom
      {green, white, red, blue},  // 8: row 0 left, column 0 bottom
  }};
  for (std::uint16_t orientation = 1; orientation <= 8; ++orientation) {
    for (PictureFormat format : {PictureFormat::Jpeg, PictureFormat::Png}) {
      if (format == PictureFormat::Png && orientation != 6) {
        continue;  // one case shows that PNG's eXIf chunk is read as well
      }
      Picture picture;
      picture.image = quadrants({128, 64}, stored);
      picture.metadata.exif = exifWithOrientation(orientation);
      std::string name = std::to_string(orientation);
      name.append(format == PictureFormat::Jpeg ? ".jpg" : ".png");
      writePicture(folder / "in" / name, picture, format);
      const RunResult result =
          converter->run(sourceAndDest(folder / "in" / name, folder / "out") + " /m:r /r:0.5");
      ASSERT_EQ(result.exitCode, 0) << name << result.errorOutput;
      const Picture output = readPicture(folder / "out" / name);
      const PixelSize expected = orientation >= 5 ? PixelSize{32, 64} : PixelSize{64, 32};
      EXPECT_EQ(output.image.size, expected) << name;
      for (int quadrant = 0; quadrant < 4; ++quadrant) {
        EXPECT_TRUE(near(quadrantColor(output.image, quadrant),
                         upright[orientation][static_cast<std::size_t>(quadrant)]))
            << name << " quadrant " << quadrant;
      }
      ASSERT_FALSE(output.metadata.exif.empty()) << name;
      EXPECT_EQ(ExifBlock(output.metadata.exif).orientation(), 1) << name;
    }
  }
}

TEST_F(ConverterEndToEnd, CmykAndAdobeRgbKeepTheirColoursAndProfiles) {
  // CMYK, with a profile large enough to need two APP2 segments, where the platform's JPEG codec
  // keeps CMYK (a Windows encoder that cannot write it faithfully gets colour instead).
  Picture cmyk;
  cmyk.image = Image::blank({96, 64}, ColorModel::Cmyk);
  for (std::size_t i = 0; i < cmyk.image.pixels.size(); i += 4) {
    cmyk.image.pixels[i] = 200;
    cmyk.image.pixels[i + 1] = 60;
    cmyk.image.pixels[i + 2] = 10;
    cmyk.image.pixels[i + 3] = 30;
  }
  cmyk.metadata.icc = iccProfile("CMYK");
  cmyk.metadata.icc.resize(100000);
  for (std::size_t i = 132; i < cmyk.metadata.icc.size(); ++i) {
    cmyk.metadata.icc[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  }
  writePicture(folder / "in" / "cmyk.jpg", cmyk, PictureFormat::Jpeg);
  if (readPicture(folder / "in" / "cmyk.jpg").image.model == ColorModel::Cmyk) {
    ASSERT_EQ(
        converter->run(sourceAndDest(folder / "in" / "cmyk.jpg", folder / "out") + " /m:r /r:0.5")
            .exitCode,
        0);
    const Picture cmykOut = readPicture(folder / "out" / "cmyk.jpg");
    ASSERT_EQ(cmykOut.image.model, ColorModel::Cmyk);
    EXPECT_EQ(cmykOut.image.size, (PixelSize{48, 32}));
    const std::uint8_t* pixel = cmykOut.image.pixels.data() + cmykOut.image.pixels.size() / 2;
    EXPECT_NEAR(pixel[0], 200, 6);
    EXPECT_NEAR(pixel[1], 60, 6);
    EXPECT_NEAR(pixel[2], 10, 6);
    EXPECT_NEAR(pixel[3], 30, 6);
    EXPECT_EQ(cmykOut.metadata.icc, cmyk.metadata.icc);
  }

  // Adobe RGB: the pixels stay in their own space and the profile goes with them.
  Picture adobe;
  adobe.metadata.icc = iccProfile("RGB ");
  adobe.image = quadrants({96, 64}, {red, green, blue, white});
  writePicture(folder / "in" / "adobe.jpg", adobe, PictureFormat::Jpeg);
  ASSERT_EQ(
      converter->run(sourceAndDest(folder / "in" / "adobe.jpg", folder / "out") + " /m:r /r:0.5")
          .exitCode,
      0);
  const Picture adobeOut = readPicture(folder / "out" / "adobe.jpg");
  EXPECT_EQ(adobeOut.metadata.icc, adobe.metadata.icc);
  for (int quadrant = 0; quadrant < 4; ++quadrant) {
    EXPECT_TRUE(
        near(quadrantColor(adobeOut.image, quadrant), quadrantColor(adobe.image, quadrant), 12))
        << quadrant;
  }
}

TEST_F(ConverterEndToEnd, UnusualNamesAndLongPathsWork) {
  fs::path deep = folder / "in";
  while (utf8(deep).size() < 300) {
    deep /= std::string(60, 'd') + std::to_string(utf8(deep).size());
    fs::create_directory(reachable(deep));
  }
  const std::vector<std::string> names = {
      "café déjà vu.jpg",     "Фото пляж.jpg",  "写真 海.jpg",  "beach 😀🌊.jpg",
      "a [1] (2) {3}.jpg",    "100% 50%20.jpg", "-leading.jpg", "--o.jpg",
      "'quote' & ;semi$.jpg", "x.JPEG"};
  for (const std::string& name : names) {
    writeJpeg(name, {64, 48});
    const RunResult result =
        converter->run(sourceAndDest(folder / "in" / pathOf(name), folder / "out") +
                       " /m:wr /w:32  /pre:é ü  /suf:-% 😀");
    EXPECT_EQ(result.exitCode, 0) << name << ": " << result.errorOutput;
    const fs::path stem = pathOf(name).stem();
    const fs::path out =
        folder / "out" / pathOf("é ü" + utf8(stem) + "-% 😀" + utf8(pathOf(name).extension()));
    ASSERT_TRUE(fs::exists(out)) << utf8(out);
    EXPECT_EQ(readPicture(out).image.size, (PixelSize{32, 24}));
  }
  Picture picture;
  picture.image = ramp({64, 48}, ColorModel::Rgb);
  writePicture(reachable(deep / "long.jpg"), picture, PictureFormat::Jpeg);
  ASSERT_GT(utf8(deep / "long.jpg").size(), 260u);
  const RunResult result =
      converter->run(sourceAndDest(deep / "long.jpg", deep) + " /m:r /r:0.5 /suf:-s");
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  EXPECT_EQ(readPicture(deep / "long-s.jpg").image.size, (PixelSize{32, 24}));
}

TEST_F(ConverterEndToEnd, OverwriteReplacesInPlaceAndNothingElseReplaces) {
  const fs::path source = writeJpeg("p.jpg", {200, 100});
#ifndef _WIN32
  fs::permissions(source, fs::perms(0640));
#endif
  const std::string original = readFile(source);

  // Without /o: the source is never its own target.
  RunResult result = converter->run(sourceAndDest(source, folder / "in") + " /m:r /r:0.5");
  EXPECT_EQ(result.exitCode, code(ExitCode::OutputExists));
  EXPECT_EQ(readFile(source), original);
  EXPECT_EQ(std::count(result.errorOutput.begin(), result.errorOutput.end(), '\n'), 1);

  // Without /o: an existing output is left byte for byte.
  const std::string existing = "not a picture, but mine";
  std::ofstream(folder / "out" / "p-s.jpg") << existing;
  result = converter->run(sourceAndDest(source, folder / "out") + " /m:r /r:0.5 /suf:-s");
  EXPECT_EQ(result.exitCode, code(ExitCode::OutputExists));
  EXPECT_EQ(readFile(folder / "out" / "p-s.jpg"), existing);
  EXPECT_EQ(filesIn(folder / "out"), 1u);

  // With /o: replaced in place by the complete new picture, keeping the file's permissions.
  result = converter->run(sourceAndDest(source, folder / "in") + " /m:r /r:0.5 /o");
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  EXPECT_EQ(readPicture(source).image.size, (PixelSize{100, 50}));
#ifndef _WIN32
  EXPECT_EQ(fs::status(source).permissions() & fs::perms::all, fs::perms(0640));
#endif
  EXPECT_EQ(filesIn(folder / "in"), 1u);

  const std::string log = readFile(converter->logFile());
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
  EXPECT_NE(log.find("exit 7"), std::string::npos);
}

TEST_F(ConverterEndToEnd, BadInputsFailWithTheirCodesAndNoOutput) {
  const fs::path in = folder / "in";
  writeJpeg("good.jpg", {64, 64});
  const std::string good = readFile(in / "good.jpg");
  std::ofstream(in / "truncated.jpg", std::ios::binary) << good.substr(0, good.size() / 2);
  std::string corrupt = good;
  for (std::size_t i = good.size() / 3; i < good.size() - 2; i += 7) {
    corrupt[i] = static_cast<char>(0xFF - corrupt[i]);
  }
  std::ofstream(in / "corrupt.jpg", std::ios::binary) << corrupt;
  std::ofstream(in / "garbage.jpg", std::ios::binary) << std::string("\xFF\xD8\xFF\x01garbage", 11);
  std::ofstream(in / "empty.png");
  std::ofstream(in / "notes.png") << "just some text, not a picture\n";
  Picture picture;
  picture.image = ramp({64, 64}, ColorModel::Rgb);
  writePicture(in / "whole.png", picture, PictureFormat::Png);
  const std::string png = readFile(in / "whole.png");
  std::ofstream(in / "truncated.png", std::ios::binary) << png.substr(0, png.size() - 40);
  // Small files that declare 64000 x 64000 pixels.
  std::string hugePng = png.substr(0, 33);
  const char side[4] = {0, 0, static_cast<char>(0xFA), 0};  // 64000, big-endian
  hugePng.replace(16, 4, side, 4);
  hugePng.replace(20, 4, side, 4);
  std::ofstream(in / "huge.png", std::ios::binary) << hugePng + png.substr(33);
  std::string hugeJpeg = good;
  const std::size_t frame = hugeJpeg.find("\xFF\xC0");
  ASSERT_NE(frame, std::string::npos);
  hugeJpeg[frame + 5] = hugeJpeg[frame + 7] = static_cast<char>(0xFA);
  hugeJpeg[frame + 6] = hugeJpeg[frame + 8] = 0;
  std::ofstream(in / "huge.jpg", std::ios::binary) << hugeJpeg;
  fs::create_directories(in / "folder.jpg");

  struct Case {
    std::string name;
    ExitCode expected;
  };
  for (const Case& c :
       {Case{"truncated.jpg", ExitCode::DamagedPicture},
        Case{"corrupt.jpg", ExitCode::DamagedPicture},
        Case{"garbage.jpg", ExitCode::DamagedPicture},
        Case{"truncated.png", ExitCode::DamagedPicture},
        Case{"empty.png", ExitCode::UnsupportedFormat},
        Case{"notes.png", ExitCode::UnsupportedFormat}, Case{"huge.png", ExitCode::PictureTooLarge},
        Case{"huge.jpg", ExitCode::PictureTooLarge}, Case{"missing.jpg", ExitCode::InputUnreadable},
        Case{"folder.jpg", ExitCode::InputUnreadable}}) {
    const RunResult result =
        converter->run(sourceAndDest(in / c.name, folder / "out") + " /m:r /r:0.5");
    EXPECT_EQ(result.exitCode, code(c.expected)) << c.name << ": " << result.errorOutput;
    EXPECT_TRUE(result.errorOutput.starts_with("multiconv: ")) << c.name;
    EXPECT_EQ(std::count(result.errorOutput.begin(), result.errorOutput.end(), '\n'), 1) << c.name;
    // Refused from the headers: the 12-gigabyte pixel buffer is never allocated.
    EXPECT_LT(result.peakMemoryKilobytes, 64 * 1024) << c.name;
  }
  EXPECT_EQ(filesIn(folder / "out"), 0u);

  // Usage errors and a missing destination folder.
  const std::string head = sourceAndDest(in / "good.jpg", folder / "out");
  for (const std::string& bad :
       {head + " /m:r /r:0", head + " /m:r /r:11", head + " /m:h /h:-5", head + " /m:w /w:0.4 ",
        head + " /m:r", head + " /m:r /r:0.5 /o /o", head + " /m:r /r:0.5 /x",
        std::string(" /m:r /r:0.5")}) {
    EXPECT_EQ(converter->run(bad).exitCode, code(ExitCode::Usage)) << bad;
  }
  EXPECT_EQ(
      converter->run(sourceAndDest(in / "good.jpg", folder / "nowhere") + " /m:r /r:0.5").exitCode,
      code(ExitCode::WriteFailure));
  EXPECT_EQ(filesIn(folder / "out"), 0u);
  const std::string log = readFile(converter->logFile());
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 19);
}

TEST_F(ConverterEndToEnd, KilledWhileWritingLeavesNoPartialFileAndTheOriginalWhole) {
  const fs::path source = writeJpeg("k.jpg", {300, 200});
  const std::string original = readFile(source);
  auto temporaries = [&] {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder / "in")) {
      count += entry.path().filename().string().starts_with(".multiconv-");
    }
    return count;
  };
  for (const std::string& switches :
       {std::string(" /m:r /r:0.5 /o"), std::string(" /m:r /r:0.5 /suf:-new")}) {
    // Killed outright: only the temporary file is left, under its own name.
    converter->startStoppedBeforeRename(sourceAndDest(source, folder / "in") + switches).kill();
    EXPECT_EQ(temporaries(), 1u);
    EXPECT_EQ(readFile(source), original);
    EXPECT_FALSE(fs::exists(folder / "in" / "k-new.jpg"));
    for (const auto& entry : fs::directory_iterator(folder / "in")) {
      if (entry.path().filename().string().starts_with(".multiconv-")) {
        fs::remove(entry.path());
      }
    }
#ifndef _WIN32
    // Told to end: the temporary file goes too.
    converter->startStoppedBeforeRename(sourceAndDest(source, folder / "in") + switches).askToEnd();
    EXPECT_EQ(temporaries(), 0u);
    EXPECT_EQ(readFile(source), original);
    EXPECT_FALSE(fs::exists(folder / "in" / "k-new.jpg"));
#endif
  }
}

TEST_F(ConverterEndToEnd, SlotsAreHeldWhileConvertingAndFreedWhenTheHolderDies) {
  const fs::path source = writeJpeg("s.jpg", {64, 64});
  const unsigned slots = std::max(1U, std::thread::hardware_concurrency());
  std::vector<StartedConverter> holders;
  for (unsigned i = 0; i < slots; ++i) {
    holders.push_back(converter->startStoppedBeforeRename(
        sourceAndDest(source, folder / "out") + " /m:r /r:0.5 /suf:-" + std::to_string(i)));
  }
  auto freeSlots = [&] {
    unsigned count = 0;
    for (unsigned i = 0; i < slots; ++i) {
      count += converter->slotIsFree(i);
    }
    return count;
  };
  EXPECT_EQ(freeSlots(), 0u);
  for (StartedConverter& holder : holders) {
    holder.kill();
  }
  EXPECT_EQ(freeSlots(), slots);
  EXPECT_EQ(converter->run(sourceAndDest(source, folder / "out") + " /m:r /r:0.5").exitCode, 0);
}
