// SPDX-License-Identifier: GPL-3.0-or-later
// bench_batch <work folder> [big-pictures small-pictures [tool...]]
//
// A whole batch as Resize runs it: the launch loop starts one converter per picture through the
// POSIX process start, all at once and without waiting, and the batch is done when the last
// converter has ended (its output then exists). Against it, vipsthumbnail and ImageMagick's
// mogrify get the same files split over N processes (N = processors; mogrify one thread each, as
// its OpenMP threads spin against each other otherwise). Per class of pictures
// (12-megapixel photos, 800 x 600 photos), all to 25 %, it prints each tool's wall time, the
// processor time of all its processes together, the peak memory of all its processes together,
// and multiconv's ratios to the two others. "multiconv+outcomes" is the same launch loop with the
// run's outcome channel, as the program runs it, for its cost against the plain loop.
//
// The memory is measured in a second run of each batch, so that sampling costs the timed run
// nothing: every few milliseconds the proportional share of resident pages (a page shared by k
// processes counts 1/k in each) plus the page tables of every process, summed; and beside it
// how far the machine's used memory grew (which also counts the kernel's share of each process,
// and whatever else runs on the machine meanwhile).

#include "Corpus.h"

#include "converter/platform/ConversionSlot.h"
#include "converter/engine/SourceFile.h"
#include "converter/engine/WholePicture.h"
#include "converter/metadata/Headers.h"
#include "forms/Form.h"
#include "forms/PictureBox.h"
#include "platform/posix/PosixProcesses.h"
#include "platform/posix/PosixRunOutcomes.h"
#include "resize_job/LaunchBatch.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;
using namespace karvelo;

namespace {

const unsigned processors = std::max(1U, std::thread::hardware_concurrency());

struct Batch {
  std::vector<fs::path> files;
  fs::path out;
  converter::PixelSize target;  // the size of every result
};

struct Figures {
  double wallSeconds = 0;
  double processorSeconds = 0;
  long peakKilobytes = 0;
  long machineKilobytes = 0;  // how far the machine's used memory grew, others' included
  int failures = 0;  // processes that failed, and outputs missing or not of the target size
};

// -- starting the tools

void launch(const Batch& batch, platform::Processes& processes) {
  forms::Form window("Form1", "Karvelo", 8415, 1000);
  forms::PictureBox bar(window, nullptr, "picProgress", {210, 510, 7875, 375});
  forms::PictureBox slide(window, &bar, "picProgressSlide", {60, 60, 7335, 285}, false);
  resize_job::ResizeRequest request;
  request.SourceFolder = batch.files.front().parent_path().string();
  request.DestFolder = batch.out.string();
  for (const fs::path& file : batch.files) request.FileNames.push_back(file.filename().string());
  request.Method = resize_job::ResizeMethod::Ratio;
  request.RatioText = "25";
  resize_job::LaunchBatch(window, request, resize_job::PrepareConverterSegments(request, '.'),
                          static_cast<std::int16_t>(batch.files.size()), processes,
                          platform::nativePaths);
}

void startConverters(const Batch& batch) {
  platform::PosixProcesses processes;
  launch(batch, processes);
}

// As Resize runs it: the converters report to the run's outcome channel, read to its end.
void startReportingConverters(const Batch& batch) {
  static platform::PosixProcesses processes;
  static platform::PosixRunOutcomes outcomes(processes);
  const std::unique_ptr<platform::OutcomeChannel> channel = outcomes.open();
  launch(batch, *channel);
  channel->close([](const platform::RunEnd&) {});
}

void spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    std::cerr << "cannot start " << args[0] << "\n";
    std::exit(1);
  }
  posix_spawn_file_actions_destroy(&actions);
}

// One process per share of the files: the k-th takes every N-th file from the k-th on.
void startPeers(const std::vector<std::string>& head, const Batch& batch) {
  for (unsigned k = 0; k < processors; ++k) {
    std::vector<std::string> args = head;
    for (std::size_t i = k; i < batch.files.size(); i += processors) {
      args.push_back(batch.files[i].string());
    }
    if (args.size() > head.size()) spawn(args);
  }
}

void startVips(const Batch& batch) {
  startPeers({"vipsthumbnail", "--size",
              std::to_string(batch.target.width) + "x" + std::to_string(batch.target.height), "-o",
              (batch.out / "%s.jpg[Q=90]").string()},
             batch);
}

void startMogrify(const Batch& batch) {
  startPeers({"mogrify", "-path", batch.out.string(), "-resize", "25%", "-quality", "90"}, batch);
}

struct Tool {
  std::string name;
  void (*start)(const Batch&);
};

const Tool allTools[] = {
    {"multiconv", startConverters},
    {"multiconv+outcomes", startReportingConverters},
    {"vipsthumbnail", startVips},
    {"mogrify", startMogrify}};

// -- measuring

std::string firstLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// The kilobytes after `key` in a /proc file of "key: value kB" lines.
long procValue(const std::string& path, const std::string& key) {
  std::ifstream in(path);
  std::string word;
  while (in >> word) {
    if (word == key) {
      long value = 0;
      in >> value;
      return value;
    }
  }
  return 0;
}

// Every process that this one started or adopted, except copies of itself on their way to
// starting a program: the proportional share of its resident pages plus its page tables, summed.
long childrenKilobytes() {
  static const std::string self = std::to_string(::getpid());
  static const std::string ownName = firstLine("/proc/self/comm");
  long total = 0;
  DIR* proc = ::opendir("/proc");
  while (const dirent* entry = ::readdir(proc)) {
    if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
    const std::string folder = std::string("/proc/") + entry->d_name;
    // "pid (name) state ppid ...": the name may hold blanks and parentheses.
    const std::string stat = firstLine(folder + "/stat");
    const std::size_t open = stat.find('(');
    const std::size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 1));
    std::string state;
    std::string parent;
    rest >> state >> parent;
    if (parent != self || stat.compare(open + 1, close - open - 1, ownName) == 0) continue;
    total += procValue(folder + "/smaps_rollup", "Pss:") + procValue(folder + "/status", "VmPTE:");
  }
  ::closedir(proc);
  return total;
}

long machineUsedKilobytes() {
  return procValue("/proc/meminfo", "MemTotal:") - procValue("/proc/meminfo", "MemAvailable:");
}

double seconds(const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; }

double childrenProcessorSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Waits for every child, adopted converters included; counts those that failed.
int reapAll() {
  int failures = 0;
  for (;;) {
    int status = 0;
    const pid_t pid = ::waitpid(-1, &status, 0);
    if (pid < 0 && errno == EINTR) continue;
    if (pid < 0) return failures;  // no child left
    failures += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
}

int invalidOutputs(const Batch& batch) {
  int invalid = 0;
  for (const fs::path& file : batch.files) {
    const fs::path out = batch.out / file.filename();
    try {
      const converter::SourceFile source(out.string());
      const converter::Picture picture =
          converter::decodePicture(converter::platformCodecs(), source);
      invalid += !(picture.image.size == batch.target);
    } catch (const std::exception&) {
      ++invalid;
    }
  }
  return invalid;
}

void freshFolder(const fs::path& folder) {
  fs::remove_all(folder);
  fs::create_directories(folder);
}

// Runs the batch to its end twice: timed, then with its memory sampled.
Figures measure(const Tool& tool, const Batch& batch) {
  Figures figures;
  freshFolder(batch.out);
  const double processorBefore = childrenProcessorSeconds();
  const auto start = std::chrono::steady_clock::now();
  tool.start(batch);
  figures.failures = reapAll();
  figures.wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  figures.processorSeconds = childrenProcessorSeconds() - processorBefore;
  figures.failures += invalidOutputs(batch);

  freshFolder(batch.out);
  std::atomic<bool> done = false;
  const long usedBefore = machineUsedKilobytes();
  std::thread sampler([&] {
    while (!done) {
      figures.peakKilobytes = std::max(figures.peakKilobytes, childrenKilobytes());
      figures.machineKilobytes =
          std::max(figures.machineKilobytes, machineUsedKilobytes() - usedBefore);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  tool.start(batch);
  reapAll();
  done = true;
  sampler.join();
  return figures;
}

void compare(const bench::PictureClass& pictures, const std::vector<Tool>& tools,
             const fs::path& work) {
  Batch batch{pictures.files, work / "out", {}};
  const converter::SourceFile first(batch.files.front().string());
  const converter::PixelSize size =
      converter::readHeaders(*converter::detectFormat(first.read(0, converter::formatHeadBytes)), first).size;
  batch.target = {size.width / 4, size.height / 4};

  // Warms the page cache with the pictures and the tools' libraries.
  for (const fs::path& file : batch.files) std::ifstream(file, std::ios::binary).ignore(1L << 40);
  for (const Tool& tool : tools) {
    Batch few = batch;
    few.files.resize(std::min<std::size_t>(few.files.size(), processors));
    freshFolder(few.out);
    tool.start(few);
    reapAll();
  }

  std::map<std::string, Figures> figures;
  for (const Tool& tool : tools) figures[tool.name] = measure(tool, batch);
  fs::remove_all(batch.out);

  std::printf("\n== %s: %zu pictures to 25 %%, %u processors\n", pictures.name.c_str(),
              batch.files.size(), processors);
  std::printf("%-18s %9s %14s %12s %13s %9s\n", "tool", "wall s", "processor s", "peak MB",
              "machine +MB", "failures");
  for (const Tool& tool : tools) {
    const Figures& f = figures[tool.name];
    std::printf("%-18s %9.2f %14.2f %12.1f %13.1f %9d\n", tool.name.c_str(), f.wallSeconds,
                f.processorSeconds, f.peakKilobytes / 1024.0, f.machineKilobytes / 1024.0,
                f.failures);
  }
  if (!figures.contains("multiconv")) return;
  const Figures& ours = figures["multiconv"];
  if (figures.contains("multiconv+outcomes")) {
    const Figures& reporting = figures["multiconv+outcomes"];
    std::printf("multiconv+outcomes / multiconv wall time %.3f, processor time %.3f\n",
                reporting.wallSeconds / ours.wallSeconds,
                reporting.processorSeconds / ours.processorSeconds);
  }
  for (const char* peer : {"vipsthumbnail", "mogrify"}) {
    if (!figures.contains(peer)) continue;
    const Figures& theirs = figures[peer];
    std::printf(
        "multiconv / %-13s wall time %.3f, processor time %.3f, peak memory %.3f\n", peer,
        ours.wallSeconds / theirs.wallSeconds, ours.processorSeconds / theirs.processorSeconds,
        static_cast<double>(ours.peakKilobytes) / static_cast<double>(theirs.peakKilobytes));
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: bench_batch <work folder> [big-pictures small-pictures [tool...]]\n";
    return 2;
  }
  const fs::path work = fs::absolute(argv[1]);
  const int big = argc > 2 ? std::atoi(argv[2]) : 200;
  const int small = argc > 3 ? std::atoi(argv[3]) : 2000;
  std::vector<Tool> tools;
  for (const Tool& tool : allTools) {
    if (argc <= 4 || std::find(argv + 4, argv + argc, tool.name) != argv + argc) {
      tools.push_back(tool);
    }
  }

  // The converters are detached by the process start: adopting them lets this program wait for
  // them, count their processor time and find them for sampling.
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  // The converters' slots and failure log, apart from any other converters on this machine.
  ::setenv("MULTICONV_SLOT_DIR", (work / "slots").c_str(), 1);
  ::setenv("XDG_STATE_HOME", (work / "state").c_str(), 1);
  ::setenv("MAGICK_THREAD_LIMIT", "1", 1);

  std::cout << "generating the pictures in " << work / "corpus"
            << " (once) ...\n"
            << std::flush;
  for (const bench::PictureClass& pictures : bench::makeCorpus(work / "corpus", big, small, 0, false)) {
    if (!pictures.files.empty()) compare(pictures, tools, work);
  }
  converter::ConversionSlot::discard((work / "slots").string());
  return 0;
}
