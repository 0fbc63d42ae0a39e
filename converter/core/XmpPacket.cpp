// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/XmpPacket.h"

#include <algorithm>
#include <string>

namespace karvelo::converter {

namespace {

// A number in a packet has no more digits than this (with the blanks around it).
constexpr std::size_t maxValueLength = 24;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isNumber(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && isBlank(text.back())) {
    text.remove_suffix(1);
  }
  return !text.empty() && text.size() <= 10 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Where the value after the property's name at `at` lies: inside the quotes of an attribute or
// between an element's tags. npos when the name is part of a longer one or the value is not a
// number.
std::pair<std::size_t, std::size_t> valueAfter(const std::string& text, std::size_t at,
                                               std::string_view property) {
  constexpr std::pair<std::size_t, std::size_t> none{std::string::npos, 0};
  if (at == 0 || !(isBlank(text[at - 1]) || text[at - 1] == '<')) {
    return none;
  }
  std::size_t pos = at + property.size();
  if (text[at - 1] == '<') {
    if (pos >= text.size() || text[pos] != '>') {
      return none;
    }
    const std::size_t end = text.find('<', pos + 1);
    if (end == std::string::npos || end - pos - 1 > maxValueLength ||
        !isNumber(std::string_view(text).substr(pos + 1, end - pos - 1))) {
      return none;
    }
    return {pos + 1, end};
  }
  while (pos < text.size() && isBlank(text[pos])) {
    ++pos;
  }
  if (pos >= text.size() || text[pos] != '=') {
    return none;
  }
  ++pos;
  while (pos < text.size() && isBlank(text[pos])) {
    ++pos;
  }
  if (pos >= text.size() || (text[pos] != '"' && text[pos] != '\'')) {
    return none;
  }
  const std::size_t end = text.find(text[pos], pos + 1);
  if (end == std::string::npos || end - pos - 1 > maxValueLength ||
      !isNumber(std::string_view(text).substr(pos + 1, end - pos - 1))) {
    return none;
  }
  return {pos + 1, end};
}

}  // namespace

void setXmpNumber(std::vector<std::uint8_t>& packet, std::string_view property,
                  std::uint32_t value) {
  std::string text(packet.begin(), packet.end());
  const std::string number = std::to_string(value);
  bool changed = false;
  for (std::size_t at = text.find(property); at != std::string::npos;
       at = text.find(property, at + property.size())) {
    const auto [begin, end] = valueAfter(text, at, property);
    if (begin != std::string::npos) {
      text.replace(begin, end - begin, number);
      changed = true;
    }
  }
  // Where the packet ends in padding, as written for editing in place, the padding takes up the
  // change, so that the packet keeps its length.
  const std::size_t trailer = text.rfind("<?xpacket end");
  if (changed && trailer != std::string::npos && text.size() != packet.size()) {
    std::size_t padding = trailer;
    while (padding > 0 && isBlank(text[padding - 1])) {
      --padding;
    }
    if (text.size() < packet.size()) {
      text.insert(trailer, packet.size() - text.size(), ' ');
    } else if (trailer - padding > text.size() - packet.size()) {
      text.erase(padding, text.size() - packet.size());
    }
  }
  if (changed) {
    packet.assign(text.begin(), text.end());
  }
}

}  // namespace karvelo::converter
