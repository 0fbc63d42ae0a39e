// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Outcome.h"

#include <charconv>

namespace karvelo::common {

std::string encodeOutcome(const Outcome& outcome) {
  std::string record = std::to_string(outcome.exitCode);
  record += '\0';
  record += outcome.source;
  record += '\0';
  const std::size_t room = outcomeRecordLimit > record.size() + 1
                               ? outcomeRecordLimit - record.size() - 1
                               : 0;
  record += std::string_view(outcome.message).substr(0, room);
  record += '\0';
  return record;
}

std::vector<Outcome> OutcomeReader::take(std::string_view bytes) {
  pending_ += bytes;
  std::vector<Outcome> outcomes;
  std::size_t start = 0;
  // Three fields make a record.
  for (;;) {
    const std::size_t codeEnd = pending_.find('\0', start);
    const std::size_t sourceEnd =
        codeEnd == std::string::npos ? codeEnd : pending_.find('\0', codeEnd + 1);
    const std::size_t messageEnd =
        sourceEnd == std::string::npos ? sourceEnd : pending_.find('\0', sourceEnd + 1);
    if (messageEnd == std::string::npos) break;
    Outcome outcome;
    const char* first = pending_.data() + start;
    const char* last = pending_.data() + codeEnd;
    const auto [end, error] = std::from_chars(first, last, outcome.exitCode);
    if (error == std::errc() && end == last && first != last) {
      outcome.source = pending_.substr(codeEnd + 1, sourceEnd - codeEnd - 1);
      outcome.message = pending_.substr(sourceEnd + 1, messageEnd - sourceEnd - 1);
      outcomes.push_back(std::move(outcome));
    }
    start = messageEnd + 1;
  }
  pending_.erase(0, start);
  return outcomes;
}

}  // namespace karvelo::common
