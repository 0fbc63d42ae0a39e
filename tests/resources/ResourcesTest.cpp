// SPDX-License-Identifier: GPL-3.0-or-later
#include "ResFile.h"
#include "ResourcePaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

namespace karvelo::testing {
namespace {

constexpr std::uint16_t English = 1033;
constexpr std::uint16_t Neutral = 0;

std::vector<std::uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Manifest, IsExactlyAsLaidDown) {
  const std::vector<std::uint8_t> bytes = readFile(ManifestPath);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(bytes.size(), 568u);
  ASSERT_GE(bytes.size(), 3u);
  EXPECT_FALSE(bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) << "byte-order mark";
  EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b < 0x80; }));
  // Lines end in a lone carriage return; the last line has no line end.
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 15);
  EXPECT_NE(text.back(), '\r');
  EXPECT_EQ(text.find("\r\r"), std::string::npos);

  // The parts, in this order.
  const std::vector<std::string> parts = {
      R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)",
      R"(<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">)",
      "<assemblyIdentity",
      R"(name="XPStyle Control Demo")",
      R"(processorArchitecture="x86")",
      R"(version="1.0.0.0")",
      R"(type="win32")",
      "<description/>",
      "<dependency>",
      "<dependentAssembly>",
      "<assemblyIdentity",
      R"(type="win32")",
      R"(name="Microsoft.Windows.Common-Controls")",
      R"(version="6.0.0.0")",
      R"(processorArchitecture="x86")",
      R"(publicKeyToken="6595b64144ccf1df")",
      R"(language="*")",
      "</dependentAssembly>",
      "</dependency>",
      "</assembly>",
  };
  std::size_t at = 0;
  for (const std::string& part : parts) {
    const std::size_t found = text.find(part, at);
    ASSERT_NE(found, std::string::npos) << part << " missing or out of order";
    at = found + part.size();
  }
  EXPECT_EQ(at, text.size());
  EXPECT_TRUE(text.starts_with(parts.front()));
  // Nothing beyond the two identities and the description: two identities, eight elements.
  EXPECT_EQ(std::count(text.begin(), text.end(), '<'), 10);
}

class CompiledResources : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (std::string(GetParam()).empty()) GTEST_SKIP() << "windres for this target not found";
    resources = readResFile(GetParam());
  }
  const Resource& find(std::uint16_t type, std::uint16_t id) const {
    for (const Resource& r : resources) {
      if (r.type == type && r.id == id) return r;
    }
    throw std::runtime_error("resource " + std::to_string(type) + "/" + std::to_string(id));
  }
  std::vector<Resource> resources;
};

TEST_P(CompiledResources, HoldEachResourceWithItsTypeIdAndLanguage) {
  using Key = std::tuple<int, int, int>;
  std::vector<Key> found;
  for (const Resource& r : resources) found.emplace_back(r.type, r.id, r.language);
  std::sort(found.begin(), found.end());
  const std::vector<Key> expected = {
      {1, 30004, Neutral},  // hand pointer image
      {2, 4, Neutral},      // About picture
      {2, 5, Neutral},      // the visual-style control's face
      {3, 30001, Neutral},  // application icon image
      {3, 30002, Neutral},  // About icon, 32 x 32
      {3, 30003, Neutral},  // About icon, 16 x 16
      {12, 3, Neutral},     // hand pointer directory
      {14, 1, Neutral},     // application icon directory
      {14, 2, Neutral},     // About icon directory
      {16, 1, English},     // version block
      {24, 1, English},     // manifest
  };
  EXPECT_EQ(found, expected);

  // The 32-bit program carries the manifest byte for byte; the 64-bit one the same text naming
  // its own processor, without which Windows refuses to start it.
  std::vector<std::uint8_t> manifest = readFile(ManifestPath);
  if (GetParam() == std::string(ResPath64)) {
    std::string text(manifest.begin(), manifest.end());
    for (std::size_t at; (at = text.find("\"x86\"")) != std::string::npos;) {
      text.replace(at, 5, "\"amd64\"");
    }
    manifest.assign(text.begin(), text.end());
  }
  EXPECT_EQ(find(24, 1).data, manifest);
}

TEST_P(CompiledResources, VersionBlockCarriesTheFixedPartAndTheStringsInOrder) {
  const VersionNode root = parseVersionBlock(find(16, 1).data);
  EXPECT_EQ(narrow(root.key), "VS_VERSION_INFO");
  ASSERT_EQ(root.value.size(), 52u);
  const auto field = [&](int index) { return readU32(root.value, 4 * index); };
  EXPECT_EQ(field(0), 0xFEEF04BDu);  // signature
  EXPECT_EQ(field(1), 0x00010000u);  // structure version
  EXPECT_EQ(field(2), 0x00010000u);  // file version 1.0 ...
  EXPECT_EQ(field(3), 0u);           // ... .0.0
  EXPECT_EQ(field(4), 0x00010000u);  // product version 1.0 ...
  EXPECT_EQ(field(5), 0u);           // ... .0.0
  EXPECT_EQ(field(6), 0u);           // flags mask
  EXPECT_EQ(field(7), 0u);           // flags
  EXPECT_EQ(field(8), 4u);           // VOS__WINDOWS32
  EXPECT_EQ(field(9), 1u);           // VFT_APP
  EXPECT_EQ(field(10), 0u);          // subtype
  EXPECT_EQ(field(11), 0u);          // date
  EXPECT_EQ(field(12), 0u);

  ASSERT_EQ(root.children.size(), 2u);
  const VersionNode& var = root.children[0];
  EXPECT_EQ(narrow(var.key), "VarFileInfo");
  ASSERT_EQ(var.children.size(), 1u);
  EXPECT_EQ(narrow(var.children[0].key), "Translation");
  EXPECT_EQ(var.children[0].value, (std::vector<std::uint8_t>{0x09, 0x04, 0xB0, 0x04}));

  const VersionNode& strings = root.children[1];
  EXPECT_EQ(narrow(strings.key), "StringFileInfo");
  ASSERT_EQ(strings.children.size(), 1u);
  const VersionNode& table = strings.children[0];
  EXPECT_EQ(narrow(table.key), "040904B0");
  std::vector<std::pair<std::string, std::string>> values;
  for (const VersionNode& entry : table.children) {
    EXPECT_TRUE(entry.text);
    values.emplace_back(narrow(entry.key), entry.textValue());
  }
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"CompanyName", "Karvelo Imaging Works"},
      {"ProductName", "Karvelo"},
      {"FileVersion", "1.00"},
      {"ProductVersion", "1.00"},
      {"InternalName", "Karvelo"},
      {"OriginalFilename", "Karvelo.exe"},
  };
  EXPECT_EQ(values, expected);
}

// The header of an icon or cursor image: width, height (colour and mask rows), bits per pixel.
std::tuple<int, int, int> imageHeader(const std::vector<std::uint8_t>& dib, std::size_t at = 0) {
  EXPECT_EQ(readU32(dib, at), 40u);
  return {static_cast<int>(readU32(dib, at + 4)), static_cast<int>(readU32(dib, at + 8)),
          readU16(dib, at + 14)};
}

TEST_P(CompiledResources, IconsNameTheirImagesWithSizeDepthAndByteCount) {
  // Application icon: one 32 x 32 image of 256 colours, 2216 bytes, ID 30001.
  const std::vector<std::uint8_t>& app = find(14, 1).data;
  ASSERT_EQ(app.size(), 6u + 14u);
  EXPECT_EQ(readU16(app, 0), 0);
  EXPECT_EQ(readU16(app, 2), 1);  // icon
  EXPECT_EQ(readU16(app, 4), 1);  // one image
  EXPECT_EQ(app[6], 32);
  EXPECT_EQ(app[7], 32);
  EXPECT_EQ(app[8], 0);            // colour count 0: 256 colours
  EXPECT_EQ(readU16(app, 10), 1);  // planes
  EXPECT_EQ(readU16(app, 12), 8);  // bits per pixel
  EXPECT_EQ(readU32(app, 14), 2216u);
  EXPECT_EQ(readU16(app, 18), 30001);
  EXPECT_EQ(find(3, 30001).data.size(), 2216u);
  EXPECT_EQ(imageHeader(find(3, 30001).data), std::make_tuple(32, 64, 8));

  // About icon: 32 x 32 and 16 x 16, 16 colours each; byte counts match the images.
  const std::vector<std::uint8_t>& about = find(14, 2).data;
  ASSERT_EQ(about.size(), 6u + 2 * 14u);
  EXPECT_EQ(readU16(about, 4), 2);
  const int sizes[] = {32, 16};
  for (int k = 0; k < 2; ++k) {
    const std::size_t at = 6 + 14 * static_cast<std::size_t>(k);
    const std::uint16_t id = readU16(about, at + 12);
    EXPECT_EQ(about[at], sizes[k]);
    EXPECT_EQ(about[at + 1], sizes[k]);
    EXPECT_EQ(about[at + 2], 16);
    EXPECT_EQ(readU16(about, at + 6), 4);
    EXPECT_EQ(readU32(about, at + 8), find(3, id).data.size());
    EXPECT_EQ(imageHeader(find(3, id).data), std::make_tuple(sizes[k], 2 * sizes[k], 4));
  }
}

TEST_P(CompiledResources, HandPointerIsMonochromeWithItsHotSpotOnTheFingerTip) {
  const std::vector<std::uint8_t>& group = find(12, 3).data;
  ASSERT_EQ(group.size(), 6u + 14u);
  EXPECT_EQ(readU16(group, 2), 2);  // cursor
  EXPECT_EQ(readU16(group, 4), 1);
  EXPECT_EQ(readU16(group, 6), 32);
  EXPECT_EQ(readU16(group, 8), 64);
  EXPECT_EQ(readU16(group, 12), 1);
  EXPECT_EQ(readU16(group, 18), 30004);
  const std::vector<std::uint8_t>& cursor = find(1, 30004).data;
  EXPECT_EQ(readU32(group, 14), cursor.size());
  EXPECT_EQ(readU16(cursor, 0), 5);
  EXPECT_EQ(readU16(cursor, 2), 0);
  EXPECT_EQ(imageHeader(cursor, 4), std::make_tuple(32, 64, 1));
  // The hot spot's pixel is drawn: its mask bit (rows bottom up, 4 bytes a row) is clear.
  const std::size_t mask = 4 + 40 + 8 + 32 * 4;
  const std::size_t topRow = mask + 31 * 4;
  ASSERT_EQ(cursor.size(), mask + 32 * 4);
  EXPECT_EQ(cursor[topRow] & (0x80 >> 5), 0) << "hot spot on a see-through pixel";
  EXPECT_NE(cursor[topRow] & (0x80 >> 4), 0) << "left of the tip should be see-through";
}

TEST_P(CompiledResources, PicturesAre24BitWithTheirSizes) {
  const std::vector<std::uint8_t>& about = find(2, 4).data;
  EXPECT_EQ(imageHeader(about), std::make_tuple(112, 78, 24));
  EXPECT_EQ(about.size(), 40u + 112 * 3 * 78);

  const std::vector<std::uint8_t>& face = find(2, 5).data;
  EXPECT_EQ(imageHeader(face), std::make_tuple(54, 54, 24));
  const std::size_t stride = (54 * 3 + 3) / 4 * 4;
  ASSERT_EQ(face.size(), 40u + stride * 54);
  const auto pixel = [&](int x, int y) {  // rows bottom up, blue green red
    const std::size_t at = 40 + stride * static_cast<std::size_t>(53 - y) + 3 * x;
    return std::make_tuple(face[at + 2], face[at + 1], face[at]);
  };
  const auto magenta = std::make_tuple(std::uint8_t{255}, std::uint8_t{0}, std::uint8_t{255});
  for (auto [x, y] : {std::pair{0, 0}, {53, 0}, {0, 53}, {53, 53}}) {
    EXPECT_EQ(pixel(x, y), magenta) << "corner " << x << "," << y;
  }
  for (auto [x, y] : {std::pair{27, 0}, {0, 27}, {27, 27}, {6, 48}}) {
    EXPECT_NE(pixel(x, y), magenta) << "inside " << x << "," << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Windows, CompiledResources, ::testing::Values(ResPath32, ResPath64),
                         [](const auto& info) { return info.index == 0 ? "x86" : "x64"; });

}  // namespace
}  // namespace karvelo::testing
