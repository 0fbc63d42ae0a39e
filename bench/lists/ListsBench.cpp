// SPDX-License-Identifier: GPL-3.0-or-later
// Moves every entry of a full list to the other list and back, and selects and deselects every
// entry, through the main window's handlers, for growing list sizes. Prints the time of each step
// and its growth per doubling of n: about 2.1 for n log n, about 4 for n squared. Runs once with
// the fixed text order of the tests and once with the user's language order of this platform, and
// prints how much longer each step takes in the second.
#include "fakes/FakeServices.h"
#include "main_window/Form1.h"
#include "platform/posix/PosixUserLocale.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace karvelo;

namespace {

constexpr std::array<const char*, 7> StepNames = {
    "fill List1", "select all", "move =>", "select all 2", "move <=", "select all", "deselect all"};

// Best of a few runs, in milliseconds, for each step.
using Times = std::array<double, StepNames.size()>;

Times measure(int n, platform::UserLocale* order) {
  Times best;
  best.fill(1e30);
  std::mt19937 random(12345);
  std::vector<std::string> names;
  for (int i = 0; i < n; ++i) names.push_back("IMG_" + std::to_string(random() % 1000000) + ".jpg");

  for (int run = 0; run < 5; ++run) {
    fakes::FakeServices fakes;
    main_window::Form1 form(fakes.services({.locale = order}));
    form.load();
    const std::array<std::function<void()>, StepNames.size()> steps = {
        [&] {
          for (const auto& name : names) form.List1.AddItem(name);
        },
        [&] { form.SelectAll_Click(); },
        [&] { form.cmdAdd_Click(); },
        [&] { form.SelectAll2_Click(); },
        [&] { form.cmdRemove_Click(); },
        [&] { form.SelectAll_Click(); },
        [&] { form.deselectall_Click(); },
    };
    for (std::size_t s = 0; s < steps.size(); ++s) {
      const auto start = std::chrono::steady_clock::now();
      steps[s]();
      const std::chrono::duration<double, std::milli> took =
          std::chrono::steady_clock::now() - start;
      best[s] = std::min(best[s], took.count());
    }
    if (form.List1.ListCount() != n || form.List2.ListCount() != 0) {
      std::fprintf(stderr, "unexpected list sizes\n");
      std::exit(1);
    }
  }
  return best;
}

constexpr int sizes[] = {4096, 8192, 16384, 32767};

void print(const char* title, const std::vector<Times>& results) {
  std::printf("%s\n%-14s", title, "step");
  for (int n : sizes) std::printf("%12d", n);
  std::printf("   growth per doubling\n");
  for (std::size_t s = 0; s < StepNames.size(); ++s) {
    std::printf("%-14s", StepNames[s]);
    for (const auto& r : results) std::printf("%10.3fms", r[s]);
    std::printf("  ");
    for (std::size_t i = 1; i < results.size(); ++i) {
      // The last size is one short of a doubling; scale it as if it were 32768.
      const double factor = (i + 1 == results.size()) ? 32768.0 / 32767.0 : 1.0;
      std::printf(" %5.2f", results[i][s] * factor / results[i - 1][s]);
    }
    std::printf("\n");
  }
}

}  // namespace

int main() {
  platform::PosixUserLocale userOrder;
  std::vector<Times> fixed;
  std::vector<Times> user;
  for (int n : sizes) {
    fixed.push_back(measure(n, nullptr));
    user.push_back(measure(n, &userOrder));
  }
  print("Fixed order (tests)", fixed);
  print("User's language order (ICU)", user);
  std::printf("(n log n grows about 2.1 per doubling, n squared 4)\n\n");
  std::printf("%-14s%12s\n", "step", "ICU / fixed at 32767");
  for (std::size_t s = 0; s < StepNames.size(); ++s)
    std::printf("%-14s%12.2f\n", StepNames[s], user.back()[s] / fixed.back()[s]);
}
