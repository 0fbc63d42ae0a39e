// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "platform/FolderDialog.h"

// The shell's folder dialog wrapped for the Browse buttons: one call shows the dialog with a
// preselected start folder and returns the chosen folder's path.
namespace karvelo::modFolderBrowse {

// The folder that the dialog shows selected when it opens; empty for none. The Browse handlers set
// it just before calling BrowseForFolder and empty it just after; this module only reads it.
inline std::string StartFolder;

// The buffer that receives every folder path from the dialog service, kept for the whole run and
// never cleared: a path in it ends at its first NUL, and what follows is left over from earlier,
// longer paths. It holds MaxPath characters in UTF-8.
inline char pathBuffer[platform::MaxPathBytes] = {};

// Shows the folder dialog modally to `owner`, with `title` above the folder tree and the dialog
// flags `flags` plus Validate, preselecting StartFolder when it is not empty. Returns the chosen
// folder's path, or empty text when the dialog is cancelled or the chosen item has no path that
// fits the path buffer. Failures of the dialog service reach the caller; an overflow of the flags
// is a RuntimeError. Not re-entrant: there is one path buffer.
std::string BrowseForFolder(platform::FolderDialog& dialog, platform::WindowHandle owner,
                            const std::string& title, std::int32_t flags);

// The dialog's callback: preselects StartFolder when the dialog opens, and on each selection
// change shows the selected path as the status text and enables OK exactly when the selection has
// a path. Always answers 0, and never lets a failure escape. `data` is not used.
int BrowseCallbackProc(platform::WindowHandle dialogWindow, unsigned message,
                       platform::MessageParam lParam, platform::MessageParam data);

}  // namespace karvelo::modFolderBrowse
