// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds every file of the folders named on the command line, in name order, to the fuzz target
// linked with it: the inputs that once made a target fail stay in the ordinary test run. A
// failure aborts, as it does under the fuzzer.
#include "FuzzInput.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path folder = argv[i];
    if (!std::filesystem::is_directory(folder)) continue;  // a target that never failed
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
      std::cout << "replaying " << file.filename().string() << std::endl;
      std::ifstream in(file, std::ios::binary);
      const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  std::cout << replayed << " kept inputs replayed" << std::endl;
  return 0;
}
