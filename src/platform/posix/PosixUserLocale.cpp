// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/PosixUserLocale.h"

#include <unicode/ucol.h>

#include <cstdlib>
#include <locale>
#include <stdexcept>

namespace karvelo::platform {

namespace {

// The language whose order the user chose, as a POSIX locale name reduced to what ICU reads:
// "de_DE.UTF-8@euro" becomes "de_DE"; the C locale has none.
std::string userLanguage() {
  for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      std::string name(value);
      name = name.substr(0, name.find_first_of(".@"));
      return name == "C" || name == "POSIX" ? std::string() : name;
    }
  }
  return {};
}

}  // namespace

PosixUserLocale::PosixUserLocale() : PosixUserLocale(userLanguage()) {}

PosixUserLocale::PosixUserLocale(const std::string& language) {
  UErrorCode status = U_ZERO_ERROR;
  collator_ = ::ucol_open(language == "C" ? "" : language.c_str(), &status);
  if (U_FAILURE(status)) {
    collator_ = nullptr;
    return;
  }
  // Secondary strength: letters and accents count, case does not.
  ::ucol_setStrength(collator_, UCOL_SECONDARY);
}

PosixUserLocale::~PosixUserLocale() {
  if (collator_ != nullptr) ::ucol_close(collator_);
}

int PosixUserLocale::compare(std::string_view a, std::string_view b) const {
  if (collator_ == nullptr) return forms::compareIgnoringCase(a, b);
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult result =
      ::ucol_strcollUTF8(collator_, a.data(), static_cast<int32_t>(a.size()), b.data(),
                         static_cast<int32_t>(b.size()), &status);
  if (U_FAILURE(status)) return forms::compareIgnoringCase(a, b);
  return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

char PosixUserLocale::decimalSeparator() const {
  try {
    const char separator = std::use_facet<std::numpunct<char>>(std::locale("")).decimal_point();
    return static_cast<unsigned char>(separator) < 0x80 ? separator : '.';
  } catch (const std::runtime_error&) {
    // The environment names a locale that this C++ library cannot load.
    return '.';
  }
}

}  // namespace karvelo::platform
