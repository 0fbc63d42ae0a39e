// converter_bench <work folder> [photos small-photos screenshots large]
//
// Generates the corpus (once), then resizes every picture to 25 % with multiconv,
// vipsthumbnail and ImageMagick's convert, one process per picture and two at a time, and prints
// per class and tool the wall time, the peak memory of one process, and the PSNR of the results
// against a Lanczos-3 resize of the full-size decode, with multiconv's ratios to the others.
// Unless `large` is 0, it then resizes 20000 x 20000 pictures and files of a few bytes that
// declare as many pixels to 100 rows, each alone, and prints each tool's peak memory.

#include "Corpus.h"
#include "Reference.h"

#include "converter/engine/SourceFile.h"
#include "converter/engine/WholePicture.h"
#include "converter/metadata/Headers.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using namespace karvelo;
using namespace karvelo::bench;

namespace {

constexpr double factor = 0.25;

// A job's size: to 25 %, or to a height with the aspect kept; and the size that gives.
struct Sizing {
  std::uint32_t height = 0;  // 0: to 25 %
  converter::PixelSize target;
};

struct Tool {
  std::string name;
  // The argv of one job: source, output folder, sizing.
  std::vector<std::string> (*command)(const fs::path& program, const fs::path& source,
                                      const fs::path& outFolder, Sizing sizing);
  fs::path program;
};

std::vector<std::string> multiconvJob(const fs::path& program, const fs::path& source,
                                      const fs::path& outFolder, Sizing sizing) {
  std::vector<std::string> job = {program.string(), "/s:" + source.string(),
                                  "/d:" + outFolder.string()};
  if (sizing.height == 0) {
    job.insert(job.end(), {"/m:r", "/r:0.25"});
  } else {
    job.insert(job.end(), {"/m:hr", "/h:" + std::to_string(sizing.height)});
  }
  return job;
}

std::vector<std::string> vipsJob(const fs::path& program, const fs::path& source,
                                 const fs::path& outFolder, Sizing sizing) {
  const converter::PixelSize target = sizing.target;
  const bool jpeg = source.extension() == ".jpg";
  return {program.string(),
          source.string(),
          "--size",
          std::to_string(target.width) + "x" + std::to_string(target.height),
          "-o",
          (outFolder / ("%s" + source.extension().string())).string() + (jpeg ? "[Q=90]" : "")};
}

std::vector<std::string> magickJob(const fs::path& program, const fs::path& source,
                                   const fs::path& outFolder, Sizing sizing) {
  char size[16] = "25%";
  if (sizing.height != 0) {
    std::snprintf(size, sizeof size, "x%u", sizing.height);
  }
  return {program.string(),
          source.string(),
          "-resize",
          size,
          "-quality",
          "90",
          (outFolder / source.filename()).string()};
}

struct RunStats {
  double seconds = 0;
  long peakKilobytes = 0;
  int failures = 0;
};

pid_t spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    std::cerr << "cannot start " << args[0] << "\n";
    std::exit(1);
  }
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Runs the jobs two at a time.
RunStats runAll(const std::vector<std::vector<std::string>>& jobs) {
  RunStats stats;
  const auto start = std::chrono::steady_clock::now();
  std::size_t next = 0;
  int running = 0;
  while (next < jobs.size() || running > 0) {
    while (running < 2 && next < jobs.size()) {
      spawn(jobs[next++]);
      ++running;
    }
    int status = 0;
    rusage usage{};
    if (::wait4(-1, &status, 0, &usage) > 0) {
      --running;
      stats.peakKilobytes = std::max(stats.peakKilobytes, usage.ru_maxrss);
      stats.failures += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
  }
  stats.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return stats;
}

// The jobs go through a fresh copy of this program holding almost no memory: a child's peak
// memory as the system reports it starts from the memory of the process that started it.
RunStats runThroughRunner(const fs::path& self, const fs::path& jobFile,
                          const std::vector<std::vector<std::string>>& jobs) {
  {
    std::ofstream out(jobFile);
    for (const auto& job : jobs) {
      for (std::size_t i = 0; i < job.size(); ++i) {
        out << (i ? "\t" : "") << job[i];
      }
      out << "\n";
    }
  }
  std::string command = "'";
  command.append((self / "converter_bench").string()).append("' --jobs < '");
  command.append(jobFile.string()).append("'");
  FILE* pipe = ::popen(command.c_str(), "r");
  RunStats stats;
  if (pipe == nullptr ||
      std::fscanf(pipe, "%lf %ld %d", &stats.seconds, &stats.peakKilobytes, &stats.failures) != 3) {
    std::cerr << "the job runner failed\n";
    std::exit(1);
  }
  ::pclose(pipe);
  return stats;
}

int runJobsFromInput() {
  std::vector<std::vector<std::string>> jobs;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
      args.push_back(line.substr(start, tab - start));
    }
    args.push_back(line.substr(start));
    jobs.push_back(std::move(args));
  }
  const RunStats stats = runAll(jobs);
  std::printf("%f %ld %d\n", stats.seconds, stats.peakKilobytes, stats.failures);
  return 0;
}

converter::Picture decodeWhole(const fs::path& path) {
  return converter::decodePicture(converter::platformCodecs(),
                                  converter::SourceFile(path.string()));
}

converter::PixelSize quarter(converter::PixelSize size) {
  return {static_cast<std::uint32_t>(std::lround(size.width * factor)),
          static_cast<std::uint32_t>(std::lround(size.height * factor))};
}

// The declared size of a picture; a square for files whose headers do not pass the checks.
converter::PixelSize declaredSize(const fs::path& file) {
  try {
    const converter::SourceFile source(file.string());
    return converter::readHeaders(*converter::detectFormat(source.read(0, 16)), source).size;
  } catch (const std::exception&) {
    return {1, 1};
  }
}

RunStats runTool(const fs::path& self, const fs::path& work, const Tool& tool,
                 const std::string& className, const std::vector<fs::path>& files,
                 const std::vector<Sizing>& sizings) {
  const fs::path out = work / "out" / className / tool.name;
  fs::remove_all(out);
  fs::create_directories(out);
  std::vector<std::vector<std::string>> jobs;
  for (std::size_t i = 0; i < files.size(); ++i) {
    jobs.push_back(tool.command(tool.program, files[i], out, sizings[i]));
  }
  const fs::path jobFile = work / "jobs.txt";
  runThroughRunner(self, jobFile, jobs);  // warms the page cache and the libraries
  fs::remove_all(out);
  fs::create_directories(out);
  return runThroughRunner(self, jobFile, jobs);
}

// Large and hostile pictures, each on its own, to 100 rows: the peak memory of each tool.
void reportLarge(const fs::path& self, const fs::path& work, const PictureClass& pictures,
                 const std::vector<Tool>& tools) {
  std::printf("\n== %s: each picture alone to %u rows; peak MB, wall s and failures\n",
              pictures.name.c_str(), pictures.height);
  std::printf("%-12s", "picture");
  for (const Tool& tool : tools) {
    std::printf(" %26s", tool.name.c_str());
  }
  std::printf("\n");
  std::map<std::string, long> largest;
  for (const fs::path& file : pictures.files) {
    const converter::PixelSize size = declaredSize(file);
    const Sizing sizing{
        pictures.height,
        {std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::lround(
                                        1.0 * size.width * pictures.height / size.height))),
         pictures.height}};
    std::printf("%-12s", file.filename().c_str());
    for (const Tool& tool : tools) {
      const RunStats s = runTool(self, work, tool, pictures.name, {file}, {sizing});
      std::printf(" %11.1f MB %7.2f s %2d", s.peakKilobytes / 1024.0, s.seconds, s.failures);
      largest[tool.name] = std::max(largest[tool.name], s.peakKilobytes);
    }
    std::printf("\n");
  }
  std::printf(
      "largest peak: multiconv %.1f MB (the target is at most 256 MB), / vipsthumbnail %.3f\n",
      largest["multiconv"] / 1024.0,
      static_cast<double>(largest["multiconv"]) / largest["vipsthumbnail"]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--jobs") {
    return runJobsFromInput();
  }
  if (argc < 2) {
    std::cerr << "usage: converter_bench <work folder> [photos small-photos screenshots large]\n";
    return 2;
  }
  const fs::path work = fs::absolute(argv[1]);
  const int photos = argc > 2 ? std::atoi(argv[2]) : 6;
  const int smallPhotos = argc > 3 ? std::atoi(argv[3]) : 40;
  const int screenshots = argc > 4 ? std::atoi(argv[4]) : 8;
  const bool large = argc > 5 ? std::atoi(argv[5]) != 0 : true;
  const fs::path self = fs::read_symlink("/proc/self/exe").parent_path();

  std::cout << "generating the corpus in " << work / "corpus"
            << " ...\n"
            << std::flush;
  const std::vector<PictureClass> classes =
      makeCorpus(work / "corpus", photos, smallPhotos, screenshots, large);
  const std::vector<Tool> tools = {{"multiconv", multiconvJob, self / "multiconv"},
                                   {"vipsthumbnail", vipsJob, "/usr/bin/vipsthumbnail"},
                                   {"convert", magickJob, "/usr/bin/convert"}};

  for (const PictureClass& pictures : classes) {
    if (pictures.files.empty()) {
      continue;
    }
    if (pictures.height != 0) {
      reportLarge(self, work, pictures, tools);
      continue;
    }
    std::vector<converter::PixelSize> sizes;
    std::vector<Sizing> sizings;
    for (const fs::path& file : pictures.files) {
      sizes.push_back(declaredSize(file));
      sizings.push_back({0, quarter(sizes.back())});
    }
    std::map<std::string, RunStats> stats;
    for (const Tool& tool : tools) {
      stats[tool.name] = runTool(self, work, tool, pictures.name, pictures.files, sizings);
    }
    // Quality against the reference.
    std::map<std::string, std::pair<double, double>> quality;  // mean, minimum
    std::string eachPicture;
    for (std::size_t i = 0; i < pictures.files.size(); ++i) {
      eachPicture += "  " + pictures.files[i].filename().string();
      const converter::Picture source = decodeWhole(pictures.files[i]);
      const ReferenceImage reference = lanczosReference(source.image, quarter(sizes[i]));
      for (const Tool& tool : tools) {
        const fs::path result =
            work / "out" / pictures.name / tool.name / pictures.files[i].filename();
        double value = std::nan("");
        if (fs::exists(result)) {
          value = psnr(decodeWhole(result).image, reference);
        }
        char figure[32];
        std::snprintf(figure, sizeof figure, " %7.2f", value);
        eachPicture += figure;
        auto& [sum, minimum] = quality[tool.name];
        sum += value / static_cast<double>(pictures.files.size());
        minimum = i == 0 ? value : std::min(minimum, value);
      }
      eachPicture += "\n";
    }
    std::printf("\n== %s: %zu pictures to 25 %%, one process each, two at a time\n",
                pictures.name.c_str(), pictures.files.size());
    std::printf("%-14s %9s %12s %10s %10s %9s\n", "tool", "wall s", "peak MB", "PSNR mean",
                "PSNR min", "failures");
    for (const Tool& tool : tools) {
      const RunStats& s = stats[tool.name];
      std::printf("%-14s %9.3f %12.1f %10.2f %10.2f %9d\n", tool.name.c_str(), s.seconds,
                  s.peakKilobytes / 1024.0, quality[tool.name].first, quality[tool.name].second,
                  s.failures);
    }
    std::printf("PSNR of each result in dB (multiconv, vipsthumbnail, convert):\n%s",
                eachPicture.c_str());
    const RunStats& ours = stats["multiconv"];
    for (const char* peer : {"vipsthumbnail", "convert"}) {
      std::printf("multiconv / %-13s wall time %.3f, peak memory %.3f\n", peer,
                  ours.seconds / stats[peer].seconds,
                  static_cast<double>(ours.peakKilobytes) / stats[peer].peakKilobytes);
    }
  }
  return 0;
}
