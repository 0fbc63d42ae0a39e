// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PathStyle.h"
#include "platform/RunOutcomes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karvelo::resize_job {

// The message box that names what failed in a run.
namespace runFailures {
inline constexpr std::string_view Title = "Karvelo";
inline constexpr int Style = 48;  // OK, warning icon
inline constexpr std::size_t ListedAtMost = 10;
}  // namespace runFailures

// The reason for a converter's exit code, in plain words; "the converter ended without a
// result" for one that wrote no record.
std::string FailureReason(std::optional<int> exitCode);

// The message on a run's end: "N of M pictures were not resized:", up to ten lines
// "name: reason" in list order, "... and K more" for the rest, and the converter's log. None when
// every picture started was resized. The names are the run's chosen files in list order, of which
// the first `end.started` were started, each with the source <folder><sep><name>.
std::optional<std::string> RunFailureReport(const std::vector<std::string>& fileNames,
                                            const std::string& sourceFolder,
                                            const platform::RunEnd& end,
                                            const std::string& converterLog,
                                            const platform::PathStyle& paths);

}  // namespace karvelo::resize_job
