// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/CommandLine.h"
#include "converter/core/ConversionError.h"
#include "converter/core/SwitchParser.h"
#include "forms/RuntimeError.h"
#include "resize_job/ConverterCommandLine.h"
#include "resize_job/NumberText.h"
#include "resize_job/RequestReadBack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace karvelo;
using namespace karvelo::resize_job;
using namespace std::string_literals;  // GCC 12 warns wrongly on some assignments of plain literals
using platform::posixPaths;
using platform::windowsPaths;

namespace {

ResizeRequest beachRequest() {
  ResizeRequest r;
  r.SourceFolder = "C:\\Photos"s;
  r.DestFolder = "C:\\Small"s;
  r.FileNames = {"beach.jpg"};
  return r;
}

std::string lineFor(const ResizeRequest& r, const std::string& programFolder = "C:\\Tools",
                    const platform::PathStyle& paths = windowsPaths, char separator = '.') {
  return BuildConverterCommandLine(programFolder, r, PrepareConverterSegments(r, separator),
                                   r.FileNames.at(0), paths);
}

const std::string Front = R"(C:\Tools\multiconv.exe /s:"C:\Photos\beach.jpg" /d:"C:\Small")";

}  // namespace

TEST(ConverterCommandLine, TheThreeWorkedExamples) {
  ResizeRequest height = beachRequest();
  height.Method = ResizeMethod::SpecificHeight;
  height.HeightText = "480"s;
  height.MaintainAspect = true;
  height.Overwrite = true;
  height.Prefix = "t"s;
  height.Suffix = "small"s;
  EXPECT_EQ(lineFor(height), Front + " /m:hr /h:480 /o /suf:-small");

  ResizeRequest width = beachRequest();
  width.Method = ResizeMethod::SpecificWidth;
  width.WidthText = "640"s;
  width.Prefix = "t"s;
  EXPECT_EQ(lineFor(width), Front + " /m:w /w:640  /pre:t ");

  ResizeRequest ratio = beachRequest();
  ratio.Method = ResizeMethod::Ratio;
  ratio.RatioText = "50"s;
  EXPECT_EQ(lineFor(ratio), Front + " /m:r /r:0.5");
  ratio.RatioText = "25"s;
  EXPECT_EQ(lineFor(ratio), Front + " /m:r /r:0.25");
  EXPECT_EQ(lineFor(ratio, "C:\\Tools", windowsPaths, ','), Front + " /m:r /r:0,25");
  ratio.RatioText = "10"s;
  EXPECT_EQ(lineFor(ratio), Front + " /m:r /r:0.1");
}

TEST(ConverterCommandLine, CopiesFoldersAndTextsAsTheyStand) {
  ResizeRequest r = beachRequest();
  r.SourceFolder = "C:\\"s;
  r.DestFolder = " "s;
  r.Method = ResizeMethod::SpecificHeight;
  r.HeightText = " 12.5"s;
  r.Suffix = "a b"s;
  EXPECT_EQ(lineFor(r, "D:\\"), R"(D:\\multiconv.exe /s:"C:\\beach.jpg" /d:" ")"
                                R"( /m:h /h:" 12.5" /suf:"-a b")");

  // A program folder with blanks is not quoted; an empty prefix gives no naming switch.
  r = beachRequest();
  r.Method = ResizeMethod::SpecificWidth;
  r.WidthText = "-5"s;
  r.MaintainAspect = true;
  EXPECT_EQ(lineFor(r, "C:\\Program Files\\Karvelo"),
            R"(C:\Program Files\Karvelo\multiconv.exe /s:"C:\Photos\beach.jpg" /d:"C:\Small")"
            " /m:wr /w:-5 ");
}

TEST(ConverterCommandLine, PosixPathsUseSlashAndTheBareConverterName) {
  ResizeRequest r;
  r.SourceFolder = "/home/ann/Photos"s;
  r.DestFolder = "/home/ann/Small"s;
  r.FileNames = {"beach 1.jpg"};
  r.Method = ResizeMethod::Ratio;
  r.RatioText = "75"s;
  r.Prefix = "t"s;
  EXPECT_EQ(lineFor(r, "/opt/karvelo", posixPaths),
            R"(/opt/karvelo/multiconv /s:"/home/ann/Photos/beach 1.jpg" /d:"/home/ann/Small")"
            " /m:r /r:0.75 /pre:t ");
}

TEST(ConverterCommandLine, SplitsIntoTheConvertersWordsAlsoWithBlanksAndTrailingBackslashes) {
  ResizeRequest r = beachRequest();
  r.SourceFolder = "C:\\My Photos\\"s;
  r.DestFolder = "D:\\"s;
  r.FileNames = {"a b.jpg"};
  r.Method = ResizeMethod::SpecificWidth;
  r.WidthText = "640"s;
  r.Prefix = "t"s;
  r.Suffix = "x"s;
  EXPECT_EQ(common::splitCommandLine(lineFor(r)),
            (std::vector<std::string>{R"(C:\Tools\multiconv.exe)", R"(/s:C:\My Photos\\a b.jpg)",
                                      R"(/d:D:\)", "/m:w", "/w:640", "/pre:t", "/suf:-x"}));
}

TEST(ConverterCommandLine, RatioThatIsNotANumberAndQuotesInPathsFail) {
  ResizeRequest r = beachRequest();
  r.Method = ResizeMethod::Ratio;
  for (const char* text : {"ab", "", "5%"}) {
    r.RatioText = text;
    EXPECT_THROW(PrepareConverterSegments(r, '.'), RuntimeError) << text;
  }
  r.RatioText = "25"s;
  const ConverterSegments segments = PrepareConverterSegments(r, '.');
  EXPECT_THROW(BuildConverterCommandLine("/opt", r, segments, "say \"hi\".jpg", posixPaths),
               RuntimeError);
  r.DestFolder = "/tmp/\"x"s;
  EXPECT_THROW(BuildConverterCommandLine("/opt", r, segments, "a.jpg", posixPaths), RuntimeError);
}

// The order of the checks and their texts are tested through the Resize button; here the parts
// that depend on the method and the decimal separator.
TEST(CheckResizeRequest, LooksOnlyAtTheValueOfTheChosenMethod) {
  ResizeRequest r = beachRequest();
  r.Method = ResizeMethod::Ratio;
  r.RatioText = "ab"s;  // never checked: its conversion fails later, silently
  EXPECT_EQ(CheckResizeRequest(r, '.'), std::nullopt);
  r.Method = ResizeMethod::SpecificHeight;
  r.WidthText = "640"s;
  EXPECT_EQ(CheckResizeRequest(r, '.'), "Please enter a valid resize value.");
  r.HeightText = "12,5"s;
  EXPECT_EQ(CheckResizeRequest(r, '.'), "Please enter a valid resize value.");
  EXPECT_EQ(CheckResizeRequest(r, ','), std::nullopt);
  r.Method = ResizeMethod::SpecificWidth;
  r.WidthText = ""s;
  EXPECT_EQ(CheckResizeRequest(r, ','), "Please enter a valid resize value.");

  EXPECT_EQ(leftCharacters("25 %", 2), "25");
  EXPECT_EQ(leftCharacters("7", 2), "7");
  EXPECT_EQ(leftCharacters("\u00e95 %", 2), "\u00e95");  // two characters, not bytes
}

// Whatever is typed reaches the converter as that text and nothing more: every request that
// passes the checks, with a prefix and suffix of any printable text, reads back through the
// converter's own grammar into the same request, or is a failed start (a double quote), or a usage
// error of the converter for a name it cannot write (a path separator) or a size below one pixel.
TEST(ConverterCommandLine, EveryAcceptedRequestReadsBackIntoTheSameRequest) {
  namespace conv = karvelo::converter;
  std::mt19937 random(20261207);
  auto pick = [&](const std::vector<std::string>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
  };
  auto chance = [&](int percent) {
    return std::uniform_int_distribution<int>(0, 99)(random) < percent;
  };
  std::vector<std::string> letters = {" ",      "\t",     "/o",         "/pre:", "-", "\u00e9",
                                      "\u0416", "\u6f22", "\U0001F600", "\"",    "  "};
  for (char c = 0x21; c < 0x7F; ++c) letters.push_back(std::string(1, c));
  auto text = [&](int most) {
    std::string out;
    for (int n = std::uniform_int_distribution<int>(0, most)(random); n > 0; --n)
      out += pick(letters);
    return out;
  };
  // A size as the numeric test takes it: blanks around, a sign, a fraction, an exponent.
  auto size = [&](char separator) {
    std::string out =
        pick({"", " ", "\t "}) + pick({"", "+", "-"}) + std::to_string(random() % 5000);
    if (chance(30)) out += separator + std::to_string(random() % 100);
    if (chance(15)) out += pick({"e2", "E-1", "e+0"});
    return out + pick({"", " ", "  "});
  };
  struct Folders {
    karvelo::testing::LineStyle style;
    std::string source, dest;
  };
  const Folders styles[] = {
      {{windowsPaths, conv::PathStyle::Windows, "C:\\Program Files\\Karvelo"}, "C:\\My Photos",
       "D:\\"},
      {{posixPaths, conv::PathStyle::Posix, "/opt/kar velo"}, "/home/ann/My Photos", "/tmp/a b"}};

  for (int round = 0; round < 4000; ++round) {
    const Folders& folders = styles[round % 2];
    const char separator = chance(50) ? '.' : ',';
    ResizeRequest r;
    r.SourceFolder = folders.source;
    r.DestFolder = folders.dest;
    r.FileNames = {pick({"beach.jpg", "a b.PNG", "\u0416\u0443\u043a.gif", "x"})};
    r.Method = static_cast<ResizeMethod>(1 + round / 2 % 3);
    r.RatioText = std::to_string(10 + random() % 90);
    r.HeightText = size(separator);
    r.WidthText = size(separator);
    r.MaintainAspect = chance(50);
    r.Overwrite = chance(20);
    r.Prefix = text(6);
    r.Suffix = text(6);
    ASSERT_EQ(CheckResizeRequest(r, separator), std::nullopt) << r.HeightText << r.WidthText;
    EXPECT_EQ(karvelo::testing::readBackFault(r, separator, folders.style), std::nullopt);
  }
}
