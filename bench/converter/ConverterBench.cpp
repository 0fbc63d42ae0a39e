// SPDX-License-Identifier: GPL-3.0-or-later
// converter_bench <work folder> [photos small-photos screenshots large [only]]
//
// Generates the corpus (once), then resizes each class of pictures with multiconv, vipsthumbnail
// and ImageMagick's convert, one process per picture and two at a time, and prints per class and
// tool the wall time, the peak memory of one process, the bytes written, and the median and
// lowest PSNR of the results against a Lanczos-3 resize of the full-size decode, with multiconv's
// ratios to the others. The classes: 12-megapixel photo-like JPEGs to half, to a quarter and to
// 300 pixels wide; 800 x 600 JPEGs to a quarter; screenshots with text as JPEGs to half; PNG
// screenshots to a quarter; 18-megapixel photo-like PNGs to half; photo-like lossy WebPs to a
// quarter; lossless WebP screenshots to half; 12-megapixel HEIC and AVIF photos to 1000 pixels
// wide. `only` keeps the classes whose name holds it.
// Unless `large` is 0, it then resizes 20000 x 20000 pictures and files of a few bytes that
// declare as many pixels to 100 rows, each alone, and prints each tool's peak memory.

#include "Corpus.h"
#include "Reference.h"

#include "converter/core/TargetSize.h"
#include "converter/engine/SourceFile.h"
#include "converter/engine/WholePicture.h"
#include "converter/metadata/Headers.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
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

// How a class is resized: to a ratio, or to a width with the aspect kept.
struct Resize {
  double factor = 0;        // /m:r /r:<factor> when above 0
  std::uint32_t width = 0;  // else /m:wr /w:<width>

  std::string label() const {
    char text[32];
    if (factor > 0) {
      std::snprintf(text, sizeof text, "/r:%g", factor);
    } else {
      std::snprintf(text, sizeof text, "/w:%u", width);
    }
    return text;
  }
};

// One picture's job: how to resize it, and the size that gives (as multiconv works it out).
struct Sizing {
  Resize resize;
  converter::PixelSize target;
};

struct Tool {
  std::string name;
  // The argv of one job: source, output folder, sizing.
  std::vector<std::string> (*command)(const fs::path& program, const fs::path& source,
                                      const fs::path& outFolder, const Sizing& sizing);
  fs::path program;
};

std::vector<std::string> multiconvJob(const fs::path& program, const fs::path& source,
                                      const fs::path& outFolder, const Sizing& sizing) {
  std::vector<std::string> job = {program.string(), "/s:" + source.string(),
                                  "/d:" + outFolder.string()};
  if (sizing.resize.factor > 0) {
    job.insert(job.end(), {"/m:r", "/r:" + std::to_string(sizing.resize.factor)});
  } else if (sizing.resize.width > 0) {
    job.insert(job.end(), {"/m:wr", "/w:" + std::to_string(sizing.resize.width)});
  } else {
    job.insert(job.end(), {"/m:hr", "/h:" + std::to_string(sizing.target.height)});
  }
  return job;
}

std::string sizeText(converter::PixelSize size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

// JPEGs at quality 90 with colour at half resolution, like multiconv's of the corpus' JPEGs (left
// alone, vipsthumbnail keeps full colour from quality 90 on: 20 % more bytes); PNG and WebP as each tool writes them by default, but
// a lossless WebP stays lossless.
std::vector<std::string> vipsJob(const fs::path& program, const fs::path& source,
                                 const fs::path& outFolder, const Sizing& sizing) {
  const std::string extension = source.extension().string();
  std::string options;
  if (extension == ".jpg") {
    options = "[Q=90,subsample-mode=on]";
  } else if (extension == ".webp") {
    options = source.filename().string().starts_with("screen") ? "[lossless]" : "[Q=90]";
  } else if (extension == ".heic") {
    options = "[Q=75]";  // multiconv's quality
  } else if (extension == ".avif") {
    options = "[Q=75,effort=3]";  // multiconv's quality and libaom speed (6 = 9 - effort)
  }
  return {program.string(),
          source.string(),
          "--size",
          sizeText(sizing.target) + "!",
          "-o",
          (outFolder / ("%s" + extension)).string() + options};
}

std::vector<std::string> magickJob(const fs::path& program, const fs::path& source,
                                   const fs::path& outFolder, const Sizing& sizing) {
  std::vector<std::string> job = {program.string(), source.string(), "-resize",
                                  sizeText(sizing.target) + "!", "-quality", "90"};
  if (source.extension() == ".webp" && source.filename().string().starts_with("screen")) {
    job.insert(job.end(), {"-define", "webp:lossless=true"});
  }
  job.push_back((outFolder / source.filename()).string());
  return job;
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

// The declared size of a picture; a square for files whose headers do not pass the checks.
converter::PixelSize declaredSize(const fs::path& file) {
  try {
    const converter::SourceFile source(file.string());
    return converter::readHeaders(*converter::detectFormat(source.read(0, converter::formatHeadBytes)), source).size;
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
        {},
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


double median(std::vector<double> values) {
  if (values.empty()) {
    return std::nan("");
  }
  std::sort(values.begin(), values.end());
  const std::size_t half = values.size() / 2;
  return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2;
}

struct ToolFigures {
  RunStats run;
  std::uintmax_t bytes = 0;
  std::vector<double> quality;  // PSNR of each result
};

// One class with one resize: each tool's time, memory, bytes and quality, and multiconv's ratios.
void compare(const fs::path& self, const fs::path& work, const std::string& name,
             const PictureClass& pictures, Resize resize, const std::vector<Tool>& tools) {
  std::vector<Sizing> sizings;
  for (const fs::path& file : pictures.files) {
    converter::ConverterOptions options;
    options.method = resize.factor > 0 ? converter::SizeMethod::Ratio : converter::SizeMethod::Width;
    options.keepAspect = true;
    options.factor = resize.factor;
    options.pixels = resize.width;
    sizings.push_back({resize, converter::targetSize(declaredSize(file), options)});
  }
  std::map<std::string, ToolFigures> figures;
  for (const Tool& tool : tools) {
    figures[tool.name].run = runTool(self, work, tool, name, pictures.files, sizings);
  }
  std::string eachPicture;
  for (std::size_t i = 0; i < pictures.files.size(); ++i) {
    eachPicture += "  " + pictures.files[i].filename().string();
    const converter::Picture source = decodeWhole(pictures.files[i]);
    const ReferenceImage reference = lanczosReference(source.image, sizings[i].target);
    for (const Tool& tool : tools) {
      const fs::path result = work / "out" / name / tool.name / pictures.files[i].filename();
      double value = std::nan("");
      if (fs::exists(result)) {
        value = psnr(decodeWhole(result).image, reference);
        figures[tool.name].bytes += fs::file_size(result);
      }
      figures[tool.name].quality.push_back(value);
      char figure[32];
      std::snprintf(figure, sizeof figure, " %7.2f", value);
      eachPicture += figure;
    }
    eachPicture += "\n";
  }
  std::printf("\n== %s: %zu pictures of %s to %s, one process each, two at a time\n",
              name.c_str(), pictures.files.size(), sizeText(declaredSize(pictures.files[0])).c_str(),
              sizeText(sizings[0].target).c_str());
  std::printf("%-14s %9s %9s %12s %12s %10s %9s\n", "tool", "wall s", "peak MB", "bytes",
              "PSNR median", "PSNR min", "failures");
  for (const Tool& tool : tools) {
    const ToolFigures& f = figures[tool.name];
    std::printf("%-14s %9.3f %9.1f %12ju %12.2f %10.2f %9d\n", tool.name.c_str(), f.run.seconds,
                f.run.peakKilobytes / 1024.0, f.bytes, median(f.quality),
                *std::min_element(f.quality.begin(), f.quality.end()), f.run.failures);
  }
  if (pictures.files.size() > 1) {
    std::printf("PSNR of each result in dB (multiconv, vipsthumbnail, convert):\n%s",
                eachPicture.c_str());
  }
  const ToolFigures& ours = figures["multiconv"];
  for (const char* peer : {"vipsthumbnail", "convert"}) {
    const ToolFigures& theirs = figures[peer];
    std::printf("multiconv / %-13s wall time %.3f, peak memory %.3f, bytes %.3f, PSNR %+.2f dB\n",
                peer, ours.run.seconds / theirs.run.seconds,
                static_cast<double>(ours.run.peakKilobytes) / theirs.run.peakKilobytes,
                static_cast<double>(ours.bytes) / theirs.bytes,
                median(ours.quality) - median(theirs.quality));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--jobs") {
    return runJobsFromInput();
  }
  if (argc < 2) {
    std::cerr << "usage: converter_bench <work folder> [photos small-photos screenshots large [only]]\n";
    return 2;
  }
  const fs::path work = fs::absolute(argv[1]);
  const int photos = argc > 2 ? std::atoi(argv[2]) : 6;
  const int smallPhotos = argc > 3 ? std::atoi(argv[3]) : 40;
  const int screenshots = argc > 4 ? std::atoi(argv[4]) : 8;
  const bool large = argc > 5 ? std::atoi(argv[5]) != 0 : true;
  const std::string only = argc > 6 ? argv[6] : "";
  const fs::path self = fs::read_symlink("/proc/self/exe").parent_path();

  std::cout << "generating the corpus in " << work / "corpus"
            << " ...\n"
            << std::flush;
  const std::vector<PictureClass> classes =
      makeCorpus(work / "corpus", photos, smallPhotos, screenshots, large);
  const std::vector<Tool> tools = {{"multiconv", multiconvJob, self / "multiconv"},
                                   {"vipsthumbnail", vipsJob, "/usr/bin/vipsthumbnail"},
                                   {"convert", magickJob, "/usr/bin/convert"}};
  const FormatCorpus formats = makeFormatCorpus(work / "corpus", std::max(photos / 2, 2));
  const std::vector<std::pair<PictureClass, Resize>> runs = {
      {classes[0], {0.5}},           {classes[0], {0.25}},
      {classes[0], {0, 300}},        {formats.jpegScreenshots, {0.5}},
      {classes[1], {0.25}},          {classes[2], {0.25}},
      {formats.largePng, {0.5}},     {formats.lossyWebp, {0.25}},
      {formats.losslessWebp, {0.5}}, {formats.heic, {0, 1000}},
      {formats.avif, {0, 1000}},
  };
  for (const auto& [pictures, resize] : runs) {
    const std::string name = pictures.name + " " + resize.label();
    if (pictures.files.empty() || name.find(only) == std::string::npos) {
      continue;
    }
    compare(self, work, name, pictures, resize, tools);
  }
  for (const PictureClass& pictures : classes) {
    if (pictures.height != 0 && !pictures.files.empty() &&
        pictures.name.find(only) != std::string::npos) {
      reportLarge(self, work, pictures, tools);
    }
  }
  return 0;
}
