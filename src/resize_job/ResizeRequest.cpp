// SPDX-License-Identifier: GPL-3.0-or-later
#include "resize_job/ResizeRequest.h"

#include "resize_job/NumberText.h"

namespace karvelo::resize_job {

bool hasBothFolders(const ResizeRequest& request) {
  return !request.SourceFolder.empty() && !request.DestFolder.empty();
}

std::optional<std::string> CheckResizeRequest(const ResizeRequest& request, char decimalSeparator) {
  if (request.SourceFolder.empty()) return std::string(entryError::NoSourceFolder);
  if (request.DestFolder.empty()) return std::string(entryError::NoDestFolder);
  if (request.FileNames.empty()) return std::string(entryError::NoFiles);
  switch (request.Method) {
    case ResizeMethod::None:
      return std::string(entryError::NoMethod);
    case ResizeMethod::Ratio:
      break;
    case ResizeMethod::SpecificHeight:
      if (!isNumeric(request.HeightText, decimalSeparator)) {
        return std::string(entryError::InvalidValue);
      }
      break;
    case ResizeMethod::SpecificWidth:
      if (!isNumeric(request.WidthText, decimalSeparator)) {
        return std::string(entryError::InvalidValue);
      }
      break;
  }
  return std::nullopt;
}

std::string leftCharacters(std::string_view text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t taken = 0; taken < count && end < text.size(); ++taken) {
    ++end;
    // Skip the continuation bytes of a character written in several bytes.
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0u) == 0x80u) ++end;
  }
  return std::string(text.substr(0, end));
}

}  // namespace karvelo::resize_job
