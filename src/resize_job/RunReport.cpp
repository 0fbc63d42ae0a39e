// SPDX-License-Identifier: GPL-3.0-or-later
#include "resize_job/RunReport.h"

#include <algorithm>
#include <map>

namespace karvelo::resize_job {

std::string FailureReason(std::optional<int> exitCode) {
  if (!exitCode) return "the converter ended without a result";
  switch (*exitCode) {
    case 1:
      return "the converter failed unexpectedly";
    case 2:
      return "the converter did not understand its command line";
    case 3:
      return "the file cannot be read";
    case 4:
      return "not a picture or a kind the converter cannot read";
    case 5:
      return "damaged picture";
    case 6:
      return "too big";
    case 7:
      return "the output exists and Overwrite is not ticked";
    case 8:
      return "cannot write to the destination";
    default:
      return "the converter ended with status " + std::to_string(*exitCode);
  }
}

std::optional<std::string> RunFailureReport(const std::vector<std::string>& fileNames,
                                            const std::string& sourceFolder,
                                            const platform::RunEnd& end,
                                            const std::string& converterLog,
                                            const platform::PathStyle& paths) {
  const std::size_t started = std::min(end.started, fileNames.size());
  // The started pictures by source, for the records to find theirs; a name chosen twice has a
  // record for each of its converters.
  std::multimap<std::string, std::size_t> unreported;
  for (std::size_t i = 0; i < started; ++i) {
    unreported.emplace(sourceFolder + paths.separator + fileNames[i], i);
  }
  std::vector<std::optional<int>> exitCodes(started);
  for (const common::Outcome& outcome : end.outcomes) {
    if (const auto it = unreported.find(outcome.source); it != unreported.end()) {
      exitCodes[it->second] = outcome.exitCode;
      unreported.erase(it);
    }
  }
  std::vector<std::string> failures;
  for (std::size_t i = 0; i < started; ++i) {
    if (exitCodes[i] != 0) failures.push_back(fileNames[i] + ": " + FailureReason(exitCodes[i]));
  }
  if (failures.empty()) return std::nullopt;

  std::string text = std::to_string(failures.size()) + " of " + std::to_string(started) +
                     " pictures were not resized:\n";
  const std::size_t listed = std::min(failures.size(), runFailures::ListedAtMost);
  for (std::size_t i = 0; i < listed; ++i) text += failures[i] + "\n";
  if (failures.size() > listed) {
    text += "... and " + std::to_string(failures.size() - listed) + " more\n";
  }
  return text + "\nThe converter's log: " + converterLog;
}

}  // namespace karvelo::resize_job
