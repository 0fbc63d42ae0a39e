// SPDX-License-Identifier: GPL-3.0-or-later
#include "resize_job/RunReport.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace karvelo;
using resize_job::RunFailureReport;

namespace {

const std::string log = "/home/u/.local/state/karvelo/multiconv.log";

// Built by appending: gcc 12 warns falsely about overlaps when a literal is prepended.
std::string source(const std::string& name) { return std::string("/p/").append(name); }
std::string numbered(const char* stem, int i, const char* extension) {
  return std::string(stem).append(std::to_string(i)).append(extension);
}

std::optional<std::string> report(const std::vector<std::string>& names, std::size_t started,
                                  std::vector<common::Outcome> outcomes) {
  return RunFailureReport(names, "/p", {started, std::move(outcomes)}, log,
                          platform::posixPaths);
}

}  // namespace

TEST(RunReport, EachExitCodeHasItsReasonAndAMissingRecordIsAFailure) {
  const std::vector<std::string> names{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
  std::vector<common::Outcome> outcomes;
  for (int code = 1; code <= 9; ++code) {
    outcomes.push_back({source(names[code - 1]), code, "whatever the converter said"});
  }
  EXPECT_EQ(report(names, 10, outcomes),
            "10 of 10 pictures were not resized:\n"
            "a: the converter failed unexpectedly\n"
            "b: the converter did not understand its command line\n"
            "c: the file cannot be read\n"
            "d: not a picture or a kind the converter cannot read\n"
            "e: damaged picture\n"
            "f: too big\n"
            "g: the output exists and Overwrite is not ticked\n"
            "h: cannot write to the destination\n"
            "i: the converter ended with status 9\n"
            "j: the converter ended without a result\n"
            "\nThe converter's log: " + log);
}

TEST(RunReport, CountsOnlyWhatWasStartedListsTenAndMatchesRecordsBySource) {
  std::vector<std::string> names;
  std::vector<common::Outcome> outcomes;
  for (int i = 0; i < 14; ++i) {
    names.push_back(numbered("p", i, ".jpg"));
    outcomes.push_back({source(names.back()), i % 2 == 0 ? 0 : 4, ""});
  }
  // A name chosen twice has a record per converter; a record of another source counts for none;
  // the last two names were never started.
  names.insert(names.begin(), "p1.jpg");
  outcomes.push_back({"/p/p1.jpg", 0, ""});
  outcomes.push_back({"/elsewhere/p3.jpg", 0, ""});
  names.push_back("never.jpg");
  names.push_back("never2.jpg");
  const std::optional<std::string> text = report(names, 15, outcomes);
  ASSERT_TRUE(text.has_value());
  EXPECT_TRUE(text->starts_with("7 of 15 pictures were not resized:\n"
                                "p1.jpg: not a picture or a kind the converter cannot read\n"
                                "p3.jpg: not a picture"))
      << *text;
  EXPECT_NE(text->find("p13.jpg: not a picture or a kind the converter cannot read\n"
                       "\nThe converter's log: "),
            std::string::npos)
      << *text;
  EXPECT_EQ(text->find("never"), std::string::npos);

  // Twelve failures: ten named, then the rest counted.
  std::vector<std::string> many;
  for (int i = 0; i < 12; ++i) many.push_back(numbered("m", i, ""));
  const std::optional<std::string> longer = report(many, 12, {});
  ASSERT_TRUE(longer.has_value());
  EXPECT_NE(longer->find("m9: the converter ended without a result\n... and 2 more\n\n"),
            std::string::npos)
      << *longer;
  EXPECT_EQ(longer->find("m10"), std::string::npos);

  EXPECT_EQ(report({"a", "b"}, 2, {{"/p/a", 0, ""}, {"/p/b", 0, ""}}), std::nullopt);
  EXPECT_EQ(report({"a"}, 0, {}), std::nullopt);
}
