// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConverterProcess.h"

#include "converter/platform/ConversionSlot.h"

#include <fstream>
#include <iterator>

namespace karvelo::converter::testing {

ConverterProcess::ConverterProcess(std::filesystem::path folder, std::filesystem::path program)
    : folder_(std::move(folder)), program_(std::move(program)) {
  std::filesystem::create_directories(folder_);
}

void ConverterProcess::discardSlots() const { ConversionSlot::discard(utf8(slotFolder())); }

RunResult ConverterProcess::run(const std::string& switches,
                                const std::vector<std::string>& extraEnvironment) const {
  const std::filesystem::path errorFile = folder_ / ("stderr-" + processTag());
  StartedConverter converter = spawn(switches, environment(extraEnvironment), errorFile);
  RunResult result;
  result.exitCode = converter.wait();
  result.errorOutput = readFile(errorFile);
  result.peakMemoryKilobytes = converter.peakKilobytes();
  std::filesystem::remove(errorFile);
  return result;
}

StartedConverter ConverterProcess::start(const std::string& switches,
                                         const std::vector<std::string>& extraEnvironment) const {
#ifdef _WIN32
  const char* nowhere = "NUL";
#else
  const char* nowhere = "/dev/null";
#endif
  return spawn(switches, environment(extraEnvironment), nowhere);
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
