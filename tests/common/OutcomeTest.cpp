// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Outcome.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace karvelo::common;

TEST(Outcome, RecordsComeBackWholeFromPiecesOfAnySizeAndDamagedOnesAreSkipped) {
  const std::vector<Outcome> sent{{"/p/a b.jpg", 0, ""},
                                  {"C:\\p\\é.png", 5, "the picture is damaged: x"},
                                  {"", 2, "no /s: given"}};
  std::string stream;
  for (const Outcome& outcome : sent) stream += encodeOutcome(outcome);
  // A record whose code is no number, as a writer killed half way could leave.
  stream.insert(encodeOutcome(sent[0]).size(), std::string("x\0/q\0m\0", 7));
  for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, stream.size()}) {
    OutcomeReader reader;
    std::vector<Outcome> received;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
      for (Outcome& outcome : reader.take(std::string_view(stream).substr(at, piece))) {
        received.push_back(outcome);
      }
    }
    EXPECT_EQ(received, sent) << "pieces of " << piece;
  }

  // A long message is cut so that the record is written in one piece.
  const std::string record = encodeOutcome({"/p/a.jpg", 1, std::string(10000, 'm')});
  EXPECT_EQ(record.size(), outcomeRecordLimit);
  EXPECT_EQ(OutcomeReader().take(record).at(0).message.size(), outcomeRecordLimit - 12);
}
