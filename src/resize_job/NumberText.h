// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace karvelo::resize_job {

// Text to number and back the way the user's locale writes numbers: only the decimal separator
// differs between locales here, and it is always passed in (from the platform's UserLocale), so
// that nothing depends on the process-wide C locale.

// Reads a number: blanks around it, an optional sign, digits with at most one decimal separator
// (at least one digit in all), and an optional exponent (E or e, an optional sign, digits).
// Anything else, the empty text, or a value beyond the range of a double gives none.
std::optional<double> parseNumber(std::string_view text, char decimalSeparator);

// True exactly when parseNumber reads the text.
bool isNumeric(std::string_view text, char decimalSeparator);

// parseNumber, with a text that is not a number as a run-time failure (type mismatch).
double textToDouble(std::string_view text, char decimalSeparator);

// The general form with up to 15 significant digits: no trailing zeros, no zero before the
// separator for values below 1 (0.25 is ".25"), an exponent only for very large or very small
// values (1E+15, 1E-07).
std::string doubleToText(double value, char decimalSeparator);

}  // namespace karvelo::resize_job
