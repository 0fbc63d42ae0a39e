// SPDX-License-Identifier: GPL-3.0-or-later
#include "resize_job/NumberText.h"

#include "forms/RuntimeError.h"

#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

namespace karvelo::resize_job {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<double> parseNumber(std::string_view text, char decimalSeparator) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && isBlank(text[i])) ++i;

  // The number rewritten in the one form that std::from_chars reads: '.' and 'e', no '+'.
  std::string canonical;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') canonical += '-';
    ++i;
  }
  int digits = 0;
  while (i < n && isDigit(text[i])) {
    canonical += text[i++];
    ++digits;
  }
  if (i < n && text[i] == decimalSeparator) {
    canonical += '.';
    ++i;
    while (i < n && isDigit(text[i])) {
      canonical += text[i++];
      ++digits;
    }
  }
  if (digits == 0) return std::nullopt;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    canonical += 'e';
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) canonical += text[i++];
    int exponentDigits = 0;
    while (i < n && isDigit(text[i])) {
      canonical += text[i++];
      ++exponentDigits;
    }
    if (exponentDigits == 0) return std::nullopt;
  }
  while (i < n && isBlank(text[i])) ++i;
  if (i != n) return std::nullopt;

  double value = 0.0;
  const char* first = canonical.data();
  const char* last = first + canonical.size();
  const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error != std::errc() || end != last || !std::isfinite(value)) return std::nullopt;
  return value;
}

bool isNumeric(std::string_view text, char decimalSeparator) {
  return parseNumber(text, decimalSeparator).has_value();
}

double textToDouble(std::string_view text, char decimalSeparator) {
  if (const auto value = parseNumber(text, decimalSeparator)) return *value;
  throw RuntimeError(RuntimeError::TypeMismatch, "not a number: \"" + std::string(text) + "\"");
}

std::string doubleToText(double value, char decimalSeparator) {
  if (value == 0.0) return "0";  // also for -0
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::general, 15);
  std::string text(buffer.data(), result.ptr);
  // "0.25" -> ".25", "-0.5" -> "-.5"
  const std::size_t digitsStart = (!text.empty() && text[0] == '-') ? 1 : 0;
  if (text.compare(digitsStart, 2, "0.") == 0) text.erase(digitsStart, 1);
  for (char& c : text) {
    if (c == '.') {
      c = decimalSeparator;
    } else if (c == 'e') {
      c = 'E';
    }
  }
  return text;
}

}  // namespace karvelo::resize_job
