// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FolderDialog.h"

namespace karvelo::platform {

// The shell's folder dialog, SHBrowseForFolderW, with COM set up single-threaded on the calling
// thread for the dialog's call (the new dialog style hosts COM controls). Texts cross in UTF-16:
// the request's title and the paths of the messages are converted from UTF-8 on the way in, and
// the typed text of a validation failure (BFFM_VALIDATEFAILEDW) reaches the callback in UTF-8 as
// bffm::ValidateFailed. Items are the shell's item lists, freed with CoTaskMemFree. A failure
// that escapes the callback closes the dialog and is raised again when browse returns.
class Win32FolderDialog final : public FolderDialog {
 public:
  ItemHandle browse(BrowseInfo& request) override;
  bool pathFromItem(ItemHandle item, char (&buffer)[MaxPathBytes]) override;
  void freeItem(ItemHandle item) override;
  // SetSelection with a path and SetStatusText go as their wide forms, BFFM_SETSELECTIONW and
  // BFFM_SETSTATUSTEXTW; every other message as it is.
  MessageParam sendMessage(WindowHandle dialog, unsigned message, std::uintptr_t wParam,
                           MessageParam lParam) override;
};

}  // namespace karvelo::platform
