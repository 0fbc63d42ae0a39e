#include "ConverterProcess.h"

#include <fstream>
#include <iterator>

namespace karvelo::converter::testing {

ConverterProcess::ConverterProcess(std::filesystem::path folder) : folder_(std::move(folder)) {
  std::filesystem::create_directories(folder_);
}

StartedConverter::StartedConverter(StartedConverter&& other) noexcept : process_(other.process_) {
  other.process_ = -1;
}

std::string sourceAndDest(const std::filesystem::path& source, const std::filesystem::path& dest) {
  return " /s:\"" + utf8(source) + "\" /d:\"" + utf8(dest) + "\"";
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

std::filesystem::path pathOf(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace karvelo::converter::testing
