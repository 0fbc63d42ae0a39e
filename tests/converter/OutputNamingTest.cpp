// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/ConversionError.h"
#include "converter/core/OutputNaming.h"

#include <gtest/gtest.h>

using namespace karvelo::converter;

namespace {

ConverterOptions naming(std::string source, std::string dest, std::string prefix = {},
                        std::string suffix = {}, bool overwrite = false) {
  ConverterOptions options;
  options.source = std::move(source);
  options.destFolder = std::move(dest);
  options.prefix = std::move(prefix);
  options.suffix = std::move(suffix);
  options.overwrite = overwrite;
  return options;
}

}  // namespace

TEST(OutputNaming, JoinsFolderPrefixStemSuffixAndExtension) {
  constexpr auto win = PathStyle::Windows;
  constexpr auto posix = PathStyle::Posix;
  EXPECT_EQ(outputPath(naming(R"(C:\Photos\beach.jpg)", R"(C:\Small)", "t", "-small"), win),
            R"(C:\Small\tbeach-small.jpg)");
  EXPECT_EQ(outputPath(naming(R"(C:\Photos\beach.jpg)", R"(C:\)", "", "-small"), win),
            R"(C:\beach-small.jpg)");
  EXPECT_EQ(outputPath(naming("C:/Photos/a.b.PNG", "D:/out/", "x "), win), "D:/out/x a.b.PNG");
  EXPECT_EQ(outputPath(naming("/p/beach.jpg", "/small", "t", "-small"), posix),
            "/small/tbeach-small.jpg");
  EXPECT_EQ(outputPath(naming("/p/beach.jpg", "/", "", "-s"), posix), "/beach-s.jpg");
  // No extension, or only a leading dot: the suffix goes at the end.
  EXPECT_EQ(outputPath(naming("/p/README", "/o", "", "-s"), posix), "/o/README-s");
  EXPECT_EQ(outputPath(naming("/p/.hidden", "/o", "", "-s"), posix), "/o/.hidden-s");
  EXPECT_EQ(outputPath(naming("/p/x.", "/o", "", "-s"), posix), "/o/x-s.");
  // A backslash is part of a POSIX name.
  EXPECT_EQ(outputPath(naming("/p/a\\b.jpg", "/o", "t"), posix), "/o/ta\\b.jpg");
  EXPECT_EQ(outputPath(naming(R"(C:\p\a\b.jpg)", "C:\\o", "t"), win), R"(C:\o\tb.jpg)");
  // Without any naming switch the name is the source's own: the folders decide the rest.
  EXPECT_EQ(outputPath(naming("/p/beach.jpg", "/p"), posix), "/p/beach.jpg");
}

TEST(OutputNaming, OverwriteTakesTheSourceName) {
  EXPECT_EQ(outputPath(naming("/p/beach.jpg", "/q", "t", "-small", true), PathStyle::Posix),
            "/q/beach.jpg");
  EXPECT_EQ(outputPath(naming(R"(C:\p\beach.jpg)", R"(C:\p)", "", "-s", true), PathStyle::Windows),
            R"(C:\p\beach.jpg)");
  EXPECT_THROW(outputPath(naming("/p/", "/q"), PathStyle::Posix), ConversionError);
  EXPECT_THROW(outputPath(naming("/p/..", "/q"), PathStyle::Posix), ConversionError);
  EXPECT_THROW(outputPath(naming(R"(C:\p\)", "/q"), PathStyle::Windows), ConversionError);
}

TEST(OutputNaming, SplitsNames) {
  EXPECT_EQ(fileNameOf(R"(C:\a\b/c.jpg)", PathStyle::Windows), "c.jpg");
  EXPECT_EQ(fileNameOf("C:c.jpg", PathStyle::Windows), "c.jpg");
  EXPECT_EQ(fileNameOf(R"(a\c.jpg)", PathStyle::Posix), R"(a\c.jpg)");
  EXPECT_EQ(splitName("a.tar.gz").stem, "a.tar");
  EXPECT_EQ(splitName("a.tar.gz").extension, ".gz");
  EXPECT_EQ(splitName("..x").stem, ".");
  EXPECT_EQ(splitName("..x").extension, ".x");
  EXPECT_EQ(splitName("Фото 写真 😀.jpeg").stem, "Фото 写真 😀");
}
