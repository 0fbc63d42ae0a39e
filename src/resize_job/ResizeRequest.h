// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "resize_job/ResizeMethod.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace karvelo::resize_job {

// The choices that one press of Resize reads from the main window. Texts are kept exactly as
// the controls hold them; an empty text means the zero-length text (a blank is not empty).
struct ResizeRequest {
  std::string SourceFolder;            // caption of lblPicFolder
  std::string DestFolder;              // caption of lblPicFolderDest
  std::vector<std::string> FileNames;  // the entries of List2, in list order
  ResizeMethod Method = ResizeMethod::None;
  std::string RatioText;        // the first two characters of cmbRatio's text
  std::string HeightText;       // txtHeight
  std::string WidthText;        // txtWidth
  bool MaintainAspect = false;  // chkMaintain ticked (grayed is not ticked)
  bool Overwrite = false;       // chkOverwrite ticked
  std::string Prefix;           // txtPrefix
  std::string Suffix;           // txtSuffix
};

// The entry-error message box: its title, its style (information icon, OK button) and its texts.
namespace entryError {
inline constexpr std::string_view Title = "Entry Error";
inline constexpr int Style = 64;
inline constexpr std::string_view NoSourceFolder = "Please choose a source folder";
inline constexpr std::string_view NoDestFolder = "Please choose a destination folder";
inline constexpr std::string_view NoFiles = "Please choose at least one file to resize";
inline constexpr std::string_view NoMethod = "Please choose a resize method.";
inline constexpr std::string_view InvalidValue = "Please enter a valid resize value.";
}  // namespace entryError

// The checks of a request, in their order: source folder, destination folder, at least one file,
// a method, and for height or width a numeric value. Gives the message of the first check that
// fails, or none. The ratio text is not checked here: its conversion fails later, silently.
std::optional<std::string> CheckResizeRequest(const ResizeRequest& request, char decimalSeparator);

// True when the first two checks pass: from then on Resize selects every chosen file and counts
// them, whatever the later checks say.
bool hasBothFolders(const ResizeRequest& request);

// The first `count` characters of a UTF-8 text (the whole text if it is shorter).
std::string leftCharacters(std::string_view text, std::size_t count);

}  // namespace karvelo::resize_job
