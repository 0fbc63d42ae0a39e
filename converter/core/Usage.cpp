// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/Usage.h"

#include "common/CommandLine.h"
#include "converter/core/SwitchParser.h"
#include "karvelo/Version.h"

#include <vector>

namespace karvelo::converter {

namespace {

// Laid out for help2man: the first line becomes the synopsis, the indented switch lines its
// list of options, and "Examples:" a section of its own.

const std::string_view usageHead =
    R"(Usage: multiconv /s:PICTURE /d:FOLDER /m:METHOD SIZE [/o] [/pre:TEXT] [/suf:TEXT]
Resize one picture into a folder, in the picture's own format: JPEG, PNG, WebP,
GIF, BMP, TIFF, HEIC/HEIF or AVIF. Karvelo starts multiconv once for every
picture of a batch.

Switches, in any order, each at most once; their names ignore case:
  /s:PICTURE       the picture to resize
  /d:FOLDER        the folder to write the new file into; it must exist
  /m:r /r:FACTOR   both sides times FACTOR, above 0 and at most 10, written
                   with a point or a comma (0.5, 0,5, .5)
  /m:h /h:PIXELS   the height PIXELS; the width stays as it is
  /m:hr /h:PIXELS  the height PIXELS; the width keeps the aspect ratio
  /m:w /w:PIXELS   the width PIXELS; the height stays as it is
  /m:wr /w:PIXELS  the width PIXELS; the height keeps the aspect ratio
  /o               write under the picture's own name, replacing a file there
  /pre:TEXT        put TEXT in front of the new file's name
  /suf:TEXT        put TEXT between the new file's stem and its extension
  --help, /?       print this help and exit
  --version        print the version and exit

PIXELS is a number as typed (480, 12.5, 1e3); a fraction is rounded. The new
file is FOLDER/<prefix><stem><suffix><extension>; without /o an existing file
is never replaced. Pictures and results above 500 megapixels are refused.

Exit status:
  0  done
  1  internal failure (out of memory, an encoder failing)
  2  usage: a switch missing, repeated, unknown, or with a bad value
  3  the picture cannot be read or is no regular file
  4  the picture is empty, no picture, or of an unsupported kind
  5  the picture is truncated or corrupt
  6  the picture or the result is too large
  7  the new file exists and /o was not given
  8  the folder cannot be written
A failure prints one line on standard error and appends it to the log file
)";

// A line of the usage text, kept beside the rest of the text that help2man turns into the manual.
#ifdef _WIN32
const std::string_view logFile = "%LOCALAPPDATA%\\karvelo\\multiconv.log.\n";
#else
const std::string_view logFile =
    "karvelo/multiconv.log in $XDG_STATE_HOME (else ~/.local/state).\n";
#endif

const std::string_view usageTail = R"(
Examples:
  multiconv /s:beach.jpg /d:small /m:r /r:0.5
      halves both sides into small/beach.jpg
  multiconv /s:beach.jpg /d:. /m:wr /w:640 /suf:-640
      writes beach-640.jpg, 640 pixels wide, beside beach.jpg
)";

// As GNU programs word it, so that help2man makes the manual's copyright section from it.
const std::string_view licenceLines =
    R"(License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.
This is free software: you are free to change and redistribute it.
There is NO WARRANTY, to the extent permitted by law.
)";

}  // namespace

std::string usageText() { return std::string(usageHead).append(logFile).append(usageTail); }

std::string versionText() {
  std::string text = "multiconv ";
  for (const int number : {version::Major, version::Minor, version::Revision}) {
    text.append(std::to_string(number)).push_back('.');
  }
  text.back() = '\n';
  text.append("Copyright (C) ")
      .append(version::CopyrightYears)
      .append(" ")
      .append(version::CopyrightHolder)
      .append("\n");
  return text.append(licenceLines);
}

InfoRequest infoRequest(std::string_view commandLine) {
  if (!switchWords(commandLine).empty()) return InfoRequest::None;
  const std::vector<std::string> words = common::splitCommandLine(commandLine);
  if (words.empty()) return InfoRequest::None;
  const std::string& last = words.back();
  if (last == "--help" || last == "-h" || last == "-?" || last == "/?") return InfoRequest::Usage;
  if (last == "--version") return InfoRequest::Version;
  return InfoRequest::None;
}

}  // namespace karvelo::converter
