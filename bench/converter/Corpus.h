#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace karvelo::bench {

// One class of pictures of the benchmark, all written into one folder.
struct PictureClass {
  std::string name;
  std::vector<std::filesystem::path> files;
  bool photoLike = false;
};

// Writes the corpus into `folder` unless it is already there; the same every time:
// 12-megapixel photo-like JPEGs, 800 x 600 photo-like JPEGs, and 1920 x 1080 PNG screenshots
// with text and transparency.
std::vector<PictureClass> makeCorpus(const std::filesystem::path& folder, int photos,
                                     int smallPhotos, int screenshots);

}  // namespace karvelo::bench
