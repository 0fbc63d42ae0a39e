// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace karvelo::forms {

// In a caption, "&" marks the next character as the access key and is not shown; "&&" shows one
// "&". Returns the shown text and the key (0 for none, upper case for letters).
struct AccessKeyCaption {
  std::string shown;
  char key = 0;
};

inline AccessKeyCaption parseAccessKey(std::string_view caption) {
  AccessKeyCaption result;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) {
      ++i;
      if (caption[i] != '&' && result.key == 0) {
        const char c = caption[i];
        result.key = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
      }
    }
    result.shown += caption[i];
  }
  return result;
}

}  // namespace karvelo::forms
