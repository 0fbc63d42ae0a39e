// SPDX-License-Identifier: GPL-3.0-or-later
#include "folder_browser/modFolderBrowse.h"

#include <algorithm>
#include <limits>

#include "forms/RuntimeError.h"

namespace karvelo::modFolderBrowse {

namespace {

using platform::FolderDialog;
using platform::ItemHandle;
using platform::MaxPathBytes;
using platform::MessageParam;
using platform::WindowHandle;

// The dialog service of the BrowseForFolder call in progress, for the callback, which the shell's
// protocol gives no other way to reach it (the request's lParam stays 0).
FolderDialog* activeDialog = nullptr;

class ActiveDialog {
 public:
  explicit ActiveDialog(FolderDialog& dialog) : previous_(activeDialog) { activeDialog = &dialog; }
  ~ActiveDialog() { activeDialog = previous_; }
  ActiveDialog(const ActiveDialog&) = delete;
  ActiveDialog& operator=(const ActiveDialog&) = delete;

 private:
  FolderDialog* previous_;
};

// The text of a fixed buffer up to its first NUL, or the whole buffer when it holds none.
std::string textOf(const char (&buffer)[MaxPathBytes]) {
  return std::string(buffer, std::find(buffer, buffer + MaxPathBytes, '\0'));
}

// The caller's flags plus Validate, as a checked sum of 32-bit signed values.
std::uint32_t withValidate(std::int32_t flags) {
  constexpr std::int32_t validate = static_cast<std::int32_t>(platform::bif::Validate);
  if (flags > std::numeric_limits<std::int32_t>::max() - validate)
    throw RuntimeError(RuntimeError::Overflow, "folder dialog flags overflow");
  return static_cast<std::uint32_t>(flags + validate);
}

// The callback runs inside the shell's dialog: a statement that fails is skipped, and the next one
// runs.
template <typename Statement>
void skipFailure(Statement statement) noexcept {
  try {
    statement();
  } catch (...) {
  }
}

// Low word 0 and a high word: the form of the Enable OK argument.
constexpr MessageParam highWord(std::uint16_t high) {
  return static_cast<MessageParam>(high) << 16;
}

}  // namespace

std::string BrowseForFolder(FolderDialog& dialog, WindowHandle owner, const std::string& title,
                            std::int32_t flags) {
  char displayName[MaxPathBytes] = {};
  platform::BrowseInfo request;
  request.hwndOwner = owner;
  request.pidlRoot = platform::noItem;
  request.pszDisplayName = displayName;
  request.lpszTitle = title;
  request.ulFlags = withValidate(flags);
  request.lpfn = &BrowseCallbackProc;
  request.lParam = 0;
  request.iImage = 0;

  const ActiveDialog active(dialog);
  const ItemHandle item = dialog.browse(request);
  if (item == platform::noItem) return {};

  // The item is freed after its path has been read, also when reading fails.
  std::string path;
  try {
    // A failed call leaves the buffer unspecified: an item without a path that fits is no folder,
    // never the path left over from an earlier call.
    if (dialog.pathFromItem(item, pathBuffer)) path = textOf(pathBuffer);
  } catch (...) {
    dialog.freeItem(item);
    throw;
  }
  dialog.freeItem(item);
  return path;
}

int BrowseCallbackProc(WindowHandle dialogWindow, unsigned message, MessageParam lParam,
                       MessageParam /*data*/) {
  FolderDialog* dialog = activeDialog;
  if (dialog == nullptr) return 0;
  switch (message) {
    case platform::bffm::Initialized:
      skipFailure([&] {
        if (!StartFolder.empty())
          dialog->sendMessage(dialogWindow, platform::bffm::SetSelection, 1,
                              reinterpret_cast<MessageParam>(StartFolder.c_str()));
      });
      break;
    case platform::bffm::SelChanged: {
      // The item belongs to the dialog and is not freed here.
      bool hasPath = false;
      skipFailure(
          [&] { hasPath = dialog->pathFromItem(static_cast<ItemHandle>(lParam), pathBuffer); });
      if (hasPath)
        skipFailure([&] {
          dialog->sendMessage(dialogWindow, platform::bffm::SetStatusText, 0,
                              reinterpret_cast<MessageParam>(pathBuffer));
        });
      // OK is enabled for a folder whose path can come back as the result, and disabled for an
      // item that would come back as no folder.
      skipFailure([&] {
        dialog->sendMessage(dialogWindow, platform::bffm::EnableOk, 0, highWord(hasPath ? 1 : 0));
      });
      break;
    }
    default:  // Validation failures included: the dialog closes as the platform decides.
      break;
  }
  return 0;
}

}  // namespace karvelo::modFolderBrowse
