// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/ConversionError.h"
#include "converter/core/SwitchParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace karvelo::converter;

namespace {

// The switches of a whole command line as the program builds it, program path first.
ConverterOptions parseLine(const std::string& line, PathStyle style = PathStyle::Windows) {
  return parseSwitches(switchWords(line), style);
}

ExitCode failureOf(const std::string& line) {
  try {
    parseLine(line);
  } catch (const ConversionError& error) {
    return error.code();
  }
  return ExitCode::Success;
}

const std::string head =
    R"(C:\Program Files\Karvelo\multiconv.exe /s:"C:\My Photos\beach.jpg" /d:"C:\")";

}  // namespace

TEST(SwitchParser, ReadsTheLinesTheProgramBuilds) {
  // Height with aspect, overwrite and a suffix; the drive root keeps its backslash.
  ConverterOptions options = parseLine(head + " /m:hr /h:480 /o /suf:-small");
  EXPECT_EQ(options.source, R"(C:\My Photos\beach.jpg)");
  EXPECT_EQ(options.destFolder, R"(C:\)");
  EXPECT_EQ(options.method, SizeMethod::Height);
  EXPECT_TRUE(options.keepAspect);
  EXPECT_EQ(options.pixels, 480u);
  EXPECT_TRUE(options.overwrite);
  EXPECT_EQ(options.suffix, "-small");
  EXPECT_EQ(options.prefix, "");

  // Width without aspect; its trailing blank and the prefix's trailing blank are separators.
  options = parseLine(head + " /m:w /w:640  /pre:t ");
  EXPECT_EQ(options.method, SizeMethod::Width);
  EXPECT_FALSE(options.keepAspect);
  EXPECT_EQ(options.pixels, 640u);
  EXPECT_FALSE(options.overwrite);
  EXPECT_EQ(options.prefix, "t");

  // Ratio in every spelling the number-to-text conversion may give, locale comma included.
  for (const char* text : {"00.25", "0,25", "0.25", ".25", "00,25"}) {
    options = parseLine(head + " /m:r /r:" + text);
    EXPECT_EQ(options.method, SizeMethod::Ratio) << text;
    EXPECT_TRUE(options.keepAspect);
    EXPECT_DOUBLE_EQ(options.factor, 0.25) << text;
  }

  // Any order, switch names in any case, a quoted path without a trailing separator.
  options = parseLine(R"(x /SUF:-b /O /m:H /D:"/tmp/out dir" /h:12.5 /S:"/tmp/a b.png")",
                      PathStyle::Posix);
  EXPECT_EQ(options.destFolder, "/tmp/out dir");
  EXPECT_EQ(options.source, "/tmp/a b.png");
  EXPECT_EQ(options.pixels, 13u);
  EXPECT_FALSE(options.keepAspect);
  EXPECT_TRUE(options.overwrite);
}

TEST(SwitchParser, DropsTheUnquotedProgramPath) {
  EXPECT_EQ(switchWords(R"(C:\Program Files\multi conv.exe /s:"a b" /o)"),
            (std::vector<std::string>{"/s:a b", "/o"}));
  EXPECT_EQ(switchWords(R"(C:\Tools\multiconv.exe)"), std::vector<std::string>{});
  EXPECT_EQ(switchWords(R"("C:\x y\multiconv.exe" /m:r /x)"),
            (std::vector<std::string>{"/m:r", "/x"}));
}

TEST(SwitchParser, TakesQuotedValuesWholeAndNoPlainWords) {
  ConverterOptions options =
      parseLine(head + R"( /m:h /h:" 480 " /pre:"my  small  pic" /suf:"-very small")");
  EXPECT_EQ(options.pixels, 480u);
  EXPECT_EQ(options.prefix, "my  small  pic");
  EXPECT_EQ(options.suffix, "-very small");
  // A quoted value that spells switches stays one value (here refused for its slash).
  options = parseLine(head + R"( /pre:"x -o" /m:r /r:0.5)");
  EXPECT_EQ(options.prefix, "x -o");
  EXPECT_EQ(failureOf(head + R"( /pre:"x /o" /m:r /r:0.5)"), ExitCode::Usage);
  // An unquoted blank ends the value: what follows is a switch or a fault, never more value.
  options = parseLine(head + " /pre:a /o /m:r /r:0.5");
  EXPECT_EQ(options.prefix, "a");
  EXPECT_TRUE(options.overwrite);
  EXPECT_EQ(failureOf(head + " /pre:a b /m:r /r:0.5"), ExitCode::Usage);
  EXPECT_EQ(failureOf(head + " /m:r /r:0 .5"), ExitCode::Usage);
  EXPECT_EQ(failureOf(head + " stray /m:r /r:0.5"), ExitCode::Usage);
}

TEST(SwitchParser, RejectsMissingRepeatedUnknownAndMismatchedSwitches) {
  EXPECT_EQ(failureOf(head + " /m:r /r:0.5"), ExitCode::Success);
  EXPECT_EQ(failureOf("x /d:\"C:\\\" /m:r /r:0.5"), ExitCode::Usage);          // no source
  EXPECT_EQ(failureOf("x /s:\"\" /d:\"C:\\\" /m:r /r:0.5"), ExitCode::Usage);  // empty source
  EXPECT_EQ(failureOf("x /s:\"C:\\a.jpg\" /m:r /r:0.5"), ExitCode::Usage);     // no folder
  EXPECT_EQ(failureOf(head + " /r:0.5"), ExitCode::Usage);                     // no method
  EXPECT_EQ(failureOf(head + " /m:r"), ExitCode::Usage);                       // no factor
  EXPECT_EQ(failureOf(head + " /m:hr /w:5"), ExitCode::Usage);                 // size mismatch
  EXPECT_EQ(failureOf(head + " /m:h /h:5 /r:0.5"), ExitCode::Usage);           // extra factor
  EXPECT_EQ(failureOf(head + " /m:x /h:5"), ExitCode::Usage);
  EXPECT_EQ(failureOf(head + " /m:r /r:0.5 /m:r"), ExitCode::Usage);
  EXPECT_EQ(failureOf(head + " /m:r /r:0.5 /o /o"), ExitCode::Usage);
  EXPECT_EQ(failureOf(head + " /m:r /r:0.5 /s:\"C:\\b.jpg\""), ExitCode::Usage);
  EXPECT_EQ(failureOf(head + " /m:r /r:0.5 /q"), ExitCode::Usage);
  EXPECT_EQ(failureOf(head + " /m:r /r:0.5 /over"), ExitCode::Usage);
  // A prefix or suffix cannot lead out of the destination folder.
  EXPECT_EQ(failureOf(head + " /m:r /r:0.5 /pre:..\\up"), ExitCode::Usage);
  EXPECT_EQ(failureOf(head + " /m:r /r:0.5 /suf:-a/b"), ExitCode::Usage);
  EXPECT_EQ(parseLine(head + " /m:r /r:0.5 /pre:a\\b", PathStyle::Posix).prefix, "a\\b");
}

TEST(SwitchParser, ChecksFactorsAndSizes) {
  EXPECT_DOUBLE_EQ(parseFactor("10"), 10.0);
  EXPECT_DOUBLE_EQ(parseFactor("0.1"), 0.1);
  EXPECT_DOUBLE_EQ(parseFactor("00.99"), 0.99);
  EXPECT_DOUBLE_EQ(parseFactor("1."), 1.0);
  for (const char* bad : {"", "0", "00", "0.0", ",", ".", "10.01", "11", "-0.5", "0-0.05", "0.5.1",
                          "0,5,1", "1e-1", "0x1", "ab", " 0.5", "inf", "nan"}) {
    EXPECT_THROW(parseFactor(bad), ConversionError) << bad;
  }

  EXPECT_EQ(parsePixels("480"), 480u);
  EXPECT_EQ(parsePixels("+480"), 480u);
  EXPECT_EQ(parsePixels("12.5"), 13u);
  EXPECT_EQ(parsePixels("12,4"), 12u);
  EXPECT_EQ(parsePixels("0.5"), 1u);
  EXPECT_EQ(parsePixels("1e3"), 1000u);
  EXPECT_EQ(parsePixels("0480"), 480u);
  EXPECT_EQ(parsePixels("1000000"), 1000000u);
  EXPECT_EQ(parsePixels(" \t480 "), 480u);
  for (const char* bad : {"", "0", "0.4", "-5", "-0.4", "abc", "12px", "1e400", "inf", "nan",
                          "1.000,5", "1000001", "&H10", "++5", " ", "4 80", "+ 5"}) {
    EXPECT_THROW(parsePixels(bad), ConversionError) << bad;
  }
}
