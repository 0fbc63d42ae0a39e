// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/SwitchParser.h"

#include "common/CommandLine.h"
#include "converter/core/ConversionError.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>

namespace karvelo::converter {

namespace {

[[noreturn]] void usage(const std::string& message) {
  throw ConversionError(ExitCode::Usage, message);
}

std::string lowered(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  });
  return result;
}

enum class Switch { Source, Dest, Method, Ratio, Height, Width, Overwrite, Prefix, Suffix, Count };

struct SwitchName {
  Switch id;
  std::string_view name;  // with its colon when it takes a value
};

constexpr std::array<SwitchName, 9> switchNames{{
    {Switch::Source, "/s:"},
    {Switch::Dest, "/d:"},
    {Switch::Method, "/m:"},
    {Switch::Ratio, "/r:"},
    {Switch::Height, "/h:"},
    {Switch::Width, "/w:"},
    {Switch::Overwrite, "/o"},
    {Switch::Prefix, "/pre:"},
    {Switch::Suffix, "/suf:"},
}};

struct Recognised {
  Switch id;
  std::string value;
};

// The switch a word spells, or nothing when the word is no switch of the converter.
std::optional<Recognised> recognise(const std::string& word) {
  const std::string lower = lowered(word);
  for (const SwitchName& entry : switchNames) {
    if (entry.name.back() != ':') {
      if (lower == entry.name) {
        return Recognised{entry.id, {}};
      }
    } else if (lower.starts_with(entry.name)) {
      return Recognised{entry.id, word.substr(entry.name.size())};
    }
  }
  return std::nullopt;
}

std::string displayName(Switch id) {
  return std::string(switchNames[static_cast<std::size_t>(id)].name);
}

bool isNameCharacterForbidden(char c, PathStyle style) {
  if (c == '/' || c == '\0') {
    return true;
  }
  if (style == PathStyle::Windows) {
    return c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
           c == '|' || (static_cast<unsigned char>(c) < 32);
  }
  return false;
}

void checkNamePart(const std::string& text, Switch id, PathStyle style) {
  for (char c : text) {
    if (isNameCharacterForbidden(c, style)) {
      usage("the value of " + displayName(id) + " may not hold the character '" +
            std::string(1, c) + "'");
    }
  }
}

// Parses a decimal number in the C locale, taking a comma as the decimal point.
std::optional<double> toDouble(std::string_view text) {
  std::string plain(text);
  std::replace(plain.begin(), plain.end(), ',', '.');
  double value = 0.0;
  const char* first = plain.data();
  const char* last = plain.data() + plain.size();
  const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error != std::errc() || end != last || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::vector<std::string> switchWords(std::string_view commandLine) {
  std::vector<std::string> words = common::splitCommandLine(commandLine);
  const auto first = std::find_if(words.begin(), words.end(), [](const std::string& word) {
    return recognise(word).has_value();
  });
  words.erase(words.begin(), first);
  return words;
}

double parseFactor(std::string_view text) {
  std::size_t digits = 0;
  std::size_t separators = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.' || c == ',') {
      ++separators;
    } else {
      digits = 0;
      break;
    }
  }
  const std::optional<double> value = digits > 0 && separators <= 1 ? toDouble(text) : std::nullopt;
  if (!value) {
    usage("the ratio factor \"" + std::string(text) + "\" is not a number");
  }
  if (!(*value > 0.0 && *value <= 10.0)) {
    usage("the ratio factor \"" + std::string(text) + "\" is not above 0 and at most 10");
  }
  return *value;
}

std::uint32_t parsePixels(std::string_view text) {
  // Blanks around the number, as the program's numeric test allows them, arrive in quotes.
  std::string_view unsigned_ = text;
  const std::size_t first = unsigned_.find_first_not_of(" \t");
  unsigned_ = first == std::string_view::npos
                  ? std::string_view()
                  : unsigned_.substr(first, unsigned_.find_last_not_of(" \t") - first + 1);
  if (!unsigned_.empty() && unsigned_.front() == '+') {
    unsigned_.remove_prefix(1);
  }
  std::optional<double> value;
  if (std::count(unsigned_.begin(), unsigned_.end(), ',') +
          std::count(unsigned_.begin(), unsigned_.end(), '.') <=
      1) {
    value = toDouble(unsigned_);
  }
  if (!value) {
    usage("the size \"" + std::string(text) + "\" is not a number");
  }
  const double rounded = std::round(*value);
  if (!(rounded >= 1.0)) {
    usage("the size \"" + std::string(text) + "\" is not a positive number of pixels");
  }
  if (rounded > maxPixels) {
    usage("the size \"" + std::string(text) + "\" is more than " + std::to_string(maxPixels) +
          " pixels");
  }
  return static_cast<std::uint32_t>(rounded);
}

ConverterOptions parseSwitches(const std::vector<std::string>& words, PathStyle style) {
  std::array<std::optional<std::string>, static_cast<std::size_t>(Switch::Count)> seen;

  // Every word is one switch: a value holding blanks arrives quoted, as one word, so a plain
  // word is never taken as part of the value before it.
  for (const std::string& word : words) {
    const std::optional<Recognised> found = recognise(word);
    if (!found) {
      usage(word.starts_with("/") ? "unknown switch \"" + word + "\""
                                  : "unexpected text \"" + word + "\"");
    }
    auto& slot = seen[static_cast<std::size_t>(found->id)];
    if (slot) {
      usage("the switch " + displayName(found->id) + " is repeated");
    }
    slot = found->value;
  }

  auto value = [&](Switch id) -> const std::optional<std::string>& {
    return seen[static_cast<std::size_t>(id)];
  };
  auto required = [&](Switch id) -> const std::string& {
    const auto& text = value(id);
    if (!text || text->empty()) {
      usage("the switch " + displayName(id) + " is missing");
    }
    return *text;
  };

  ConverterOptions options;
  options.source = required(Switch::Source);
  options.destFolder = required(Switch::Dest);

  const std::string method = lowered(required(Switch::Method));
  Switch sizeSwitch = Switch::Ratio;
  if (method == "r") {
    options.method = SizeMethod::Ratio;
  } else if (method == "h" || method == "hr") {
    options.method = SizeMethod::Height;
    sizeSwitch = Switch::Height;
  } else if (method == "w" || method == "wr") {
    options.method = SizeMethod::Width;
    sizeSwitch = Switch::Width;
  } else {
    usage("unknown method /m:" + method + " (use r, h, hr, w or wr)");
  }
  options.keepAspect = options.method == SizeMethod::Ratio || method.size() == 2;
  for (Switch other : {Switch::Ratio, Switch::Height, Switch::Width}) {
    if (other != sizeSwitch && value(other)) {
      usage("the switch " + displayName(other) + " does not go with /m:" + method);
    }
  }
  const std::string& size = required(sizeSwitch);
  if (options.method == SizeMethod::Ratio) {
    options.factor = parseFactor(size);
  } else {
    options.pixels = parsePixels(size);
  }

  options.overwrite = value(Switch::Overwrite).has_value();
  options.prefix = value(Switch::Prefix).value_or("");
  options.suffix = value(Switch::Suffix).value_or("");
  checkNamePart(options.prefix, Switch::Prefix, style);
  checkNamePart(options.suffix, Switch::Suffix, style);
  return options;
}

}  // namespace karvelo::converter
