// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConverterProcess.h"
#include "TestPictures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace fs = std::filesystem;
using namespace karvelo::converter;
using namespace karvelo::converter::testing;

namespace {

// Runs the Windows converter under Wine, with the paths on Wine's drive Z: (the root).
int runOnWindows(const std::string& converter, const std::string& switches) {
  const char* wine = std::getenv("KARVELO_WINE");
  const std::string command = std::string(wine != nullptr && *wine != '\0' ? wine : "wine") + " '" +
                              converter + "'" + switches + " 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The first quantizer of a JPEG file's first quantization table: how coarsely it was encoded.
int firstQuantizer(const std::string& jpeg) {
  const std::size_t table = jpeg.find("\xFF\xDB");
  return table == std::string::npos || table + 5 >= jpeg.size()
             ? 0
             : static_cast<std::uint8_t>(jpeg[table + 5]);
}

}  // namespace

// The same picture resized here and by multiconv.exe under Wine: the same size, and pixels that
// differ by no more than two codecs' rounding. A JPEG encoder that ignores the quality asked of it
// (Wine's writes quality 75 always) makes its results coarser than that: they need only show the
// same picture. The figures are recorded. KARVELO_WINDOWS_CONVERTER names the built
// multiconv.exe (CI sets it after the Windows build); without it the test is skipped.
TEST(ConverterAcrossPlatforms, WindowsResultsMatchInSizeAndPixels) {
  const char* windows = std::getenv("KARVELO_WINDOWS_CONVERTER");
  if (windows == nullptr || *windows == '\0') {
    GTEST_SKIP() << "KARVELO_WINDOWS_CONVERTER does not name multiconv.exe";
  }
  const fs::path folder = fs::temp_directory_path() / ("multiconv-across-" + processTag());
  removeAll(folder);
  for (const char* part : {"in", "here", "windows"}) {
    fs::create_directories(folder / part);
  }
  const ConverterProcess here(folder / "run");
  Picture picture;
  picture.image = photoLike({640, 480});
  for (const char* name : {"photo.jpg", "photo.png"}) {
    writePicture(folder / "in" / name, picture,
                 fs::path(name).extension() == ".jpg" ? PictureFormat::Jpeg : PictureFormat::Png);
    for (const char* size : {" /m:r /r:0.37", " /m:wr /w:1000 "}) {
      const RunResult result =
          here.run(sourceAndDest(folder / "in" / name, folder / "here") + size + " /o");
      ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
      ASSERT_EQ(runOnWindows(windows, " /s:Z:" + (folder / "in" / name).string() +
                                          " /d:Z:" + (folder / "windows").string() + size + " /o"),
                0)
          << name << size;
      const Image hereResult = readPicture(folder / "here" / name).image;
      const Image windowsResult = readPicture(folder / "windows" / name).image;
      ASSERT_EQ(windowsResult.size, hereResult.size) << name << size;
      ASSERT_EQ(windowsResult.model, hereResult.model) << name << size;
      const double decibels = psnr(windowsResult, hereResult);
      RecordProperty(std::string(name) + size, std::to_string(decibels));
      const bool asFine = firstQuantizer(readFile(folder / "windows" / name)) <=
                          firstQuantizer(readFile(folder / "here" / name));
      EXPECT_GE(decibels, asFine ? 40.0 : 30.0) << name << size;
    }
  }
  removeAll(folder);
}
