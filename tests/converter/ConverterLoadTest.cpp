// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConverterProcess.h"
#include "TestPictures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <list>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using namespace karvelo::converter;
using namespace karvelo::converter::testing;

namespace {

// Under Wine every converter is a Windows process of its own emulator, so fewer are started.
#ifdef _WIN32
constexpr int jobs = 100;
#else
constexpr int jobs = 500;
#endif

}  // namespace

TEST(ConverterLoad, HundredsOfConvertersAtOnceAllSucceedNAtATimeWithNoSlotIdle) {
  constexpr int pictures = 20;
  const fs::path folder = fs::temp_directory_path() / ("multiconv-load-" + processTag());
  removeAll(folder);
  fs::create_directories(folder / "in");
  fs::create_directories(folder / "out");
  const ConverterProcess converter(folder / "run");
  for (int i = 0; i < pictures; ++i) {
    Picture picture;
    picture.image = ramp({320 + static_cast<std::uint32_t>(i), 240}, ColorModel::Rgb);
    writePicture(folder / "in" / (std::to_string(i) + ".jpg"), picture, PictureFormat::Jpeg);
  }
  const fs::path trace = folder / "slots.trace";
  const std::vector<std::string> environment = {"MULTICONV_SLOT_TRACE=" + utf8(trace)};

  const long usedBefore = machineUsedKilobytes();
  std::list<StartedConverter> running;
  for (int job = 0; job < jobs; ++job) {
    const fs::path source = folder / "in" / (std::to_string(job % pictures) + ".jpg");
    running.push_back(converter.start(
        sourceAndDest(source, folder / "out") + " /m:r /r:0.5 /suf:-" + std::to_string(job),
        environment));
  }
  long peakPrivate = 0;
  long peakMachine = 0;
  std::size_t mostAlive = 0;
  int failures = 0;
  while (!running.empty()) {
    long privateNow = 0;
    mostAlive = std::max(mostAlive, running.size());
    for (const StartedConverter& started : running) {
      privateNow += started.privateKilobytes();
    }
    peakPrivate = std::max(peakPrivate, privateNow);
    peakMachine = std::max(peakMachine, machineUsedKilobytes() - usedBefore);
    for (auto started = running.begin(); started != running.end();) {
      const std::optional<int> code = started->exitCode();
      failures += code.has_value() && *code != 0;
      started = code ? running.erase(started) : std::next(started);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::cout << "peak memory held by the converters: " << peakPrivate / 1024 << " MB; machine: +"
            << peakMachine / 1024 << " MB; at most " << mostAlive << " converters alive at once\n";
  RecordProperty("peak_private_mb", static_cast<int>(peakPrivate / 1024));
  RecordProperty("peak_machine_mb", static_cast<int>(peakMachine / 1024));

  EXPECT_EQ(failures, 0);
  for (int job = 0; job < jobs; ++job) {
    const fs::path out =
        folder / "out" / (std::to_string(job % pictures) + "-" + std::to_string(job) + ".jpg");
    ASSERT_TRUE(fs::exists(out)) << out;
    EXPECT_EQ(readPicture(out).image.size,
              (PixelSize{(320 + static_cast<std::uint32_t>(job % pictures) + 1) / 2, 120}));
  }
  // Replaying the slot trace: never more than N conversions hold a slot, and no slot stands free
  // while a converter waits. A slot passed on (">") stays held.
  std::istringstream marks(readFile(trace));
  const long slots = std::max(1U, std::thread::hardware_concurrency());
  long holding = 0;
  long waiting = 0;
  long most = 0;
  long taken = 0;
  long waited = 0;
  long idleWhileWaiting = 0;
  std::string mark;
  while (marks >> mark) {
    holding += mark == "+" ? 1 : mark == "-" ? -1 : 0;
    waiting += mark == "w" ? 1 : mark == ">" ? -1 : 0;
    taken += mark == "+" || mark == ">";
    waited += mark == "w";
    most = std::max(most, holding);
    idleWhileWaiting += holding < slots && waiting > 0;
  }
  EXPECT_EQ(taken, jobs);
  EXPECT_EQ(holding, 0);
  EXPECT_EQ(waiting, 0);
  EXPECT_LE(most, slots);
#ifndef _WIN32
  // Windows hands a freed slot to a waiting converter itself; there the trace shows no waits.
  EXPECT_GE(waited, 1);
  EXPECT_EQ(idleWhileWaiting, 0);
#endif
  // Waiting converters hold little: far less than one decoded picture each.
  EXPECT_LT(peakPrivate, 1024L * 1024);
  converter.discardSlots();
  removeAll(folder);
}
