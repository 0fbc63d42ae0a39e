#include "ConverterProcess.h"
#include "TestPictures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <map>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace karvelo::converter;
using namespace karvelo::converter::testing;

namespace {

// Kilobytes of memory that a process holds on its own: resident minus shared pages.
long privateKilobytes(pid_t pid) {
  std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
  long size = 0;
  long resident = 0;
  long shared = 0;
  if (!(statm >> size >> resident >> shared)) {
    return 0;
  }
  return (resident - shared) * (::sysconf(_SC_PAGESIZE) / 1024);
}

long machineUsedKilobytes() {
  std::ifstream meminfo("/proc/meminfo");
  std::map<std::string, long> values;
  std::string key;
  long value = 0;
  std::string unit;
  while (meminfo >> key >> value >> unit) {
    values[key] = value;
  }
  return values["MemTotal:"] - values["MemAvailable:"];
}

}  // namespace

TEST(ConverterLoad, FiveHundredConvertersAtOnceAllSucceedNAtATimeWithNoSlotIdle) {
  constexpr int jobs = 500;
  constexpr int pictures = 20;
  const fs::path folder =
      fs::temp_directory_path() / ("multiconv-load-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder / "in");
  fs::create_directories(folder / "out");
  const ConverterProcess converter(folder / "run");
  for (int i = 0; i < pictures; ++i) {
    Picture picture;
    picture.image = ramp({320 + static_cast<std::uint32_t>(i), 240}, ColorModel::Rgb);
    writePicture(folder / "in" / (std::to_string(i) + ".jpg"), picture, PictureFormat::Jpeg);
  }
  const fs::path trace = folder / "slots.trace";
  const std::vector<std::string> environment = {"MULTICONV_SLOT_TRACE=" + trace.string()};

  const long usedBefore = machineUsedKilobytes();
  std::map<pid_t, int> running;
  for (int job = 0; job < jobs; ++job) {
    const fs::path source = folder / "in" / (std::to_string(job % pictures) + ".jpg");
    running[converter.start(
        sourceAndDest(source, folder / "out") + " /m:r /r:0.5 /suf:-" + std::to_string(job),
        environment)] = job;
  }
  long peakPrivate = 0;
  long peakMachine = 0;
  std::size_t mostAlive = 0;
  int failures = 0;
  while (!running.empty()) {
    long privateNow = 0;
    mostAlive = std::max(mostAlive, running.size());
    for (const auto& [pid, job] : running) {
      privateNow += privateKilobytes(pid);
    }
    peakPrivate = std::max(peakPrivate, privateNow);
    peakMachine = std::max(peakMachine, machineUsedKilobytes() - usedBefore);
    for (;;) {
      int status = 0;
      const pid_t pid = ::waitpid(-1, &status, WNOHANG);
      if (pid <= 0) {
        break;
      }
      failures += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
      running.erase(pid);
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
  std::ifstream marks(trace);
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
  EXPECT_GE(waited, 1);
  EXPECT_EQ(idleWhileWaiting, 0);
  // Waiting converters hold little: far less than one decoded picture each.
  EXPECT_LT(peakPrivate, 1024L * 1024);
  converter.discardSlots();
  fs::remove_all(folder);
}
