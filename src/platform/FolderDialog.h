// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace karvelo::platform {

// Handles and message arguments as the shell's folder dialog passes them: opaque numbers that the
// dialog service gives out and takes back.
using WindowHandle = std::uintptr_t;
using ItemHandle = std::uintptr_t;  // an item of the folder tree; 0 is none
using MessageParam = std::intptr_t;

constexpr ItemHandle noItem = 0;

// The longest folder path, its terminating NUL included, in characters as the shell counts them
// (UTF-16 units): a path has at most MaxPath - 1.
constexpr std::size_t MaxPath = 260;
// The size of a buffer that receives such a path in UTF-8: one UTF-16 unit takes at most three
// bytes, and a pair of them four.
constexpr std::size_t MaxPathBytes = (MaxPath - 1) * 3 + 1;

// The length of UTF-8 text in UTF-16 units: one for each character, two for one beyond U+FFFF.
constexpr std::size_t utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

// Whether a folder path fits the limit of MaxPath - 1 characters (and so, with its NUL, a buffer
// of MaxPathBytes, also when it is no valid UTF-8).
constexpr bool fitsMaxPath(std::string_view path) {
  return utf16Length(path) < MaxPath && path.size() < MaxPathBytes;
}

// Dialog flags (BIF_ values).
namespace bif {
constexpr std::uint32_t StatusText = 0x4;       // a status line under the title
constexpr std::uint32_t EditBox = 0x10;         // an edit field for typing a folder
constexpr std::uint32_t Validate = 0x20;        // report a typed name that is no folder
constexpr std::uint32_t NewDialogStyle = 0x40;  // resizable, with a "Make New Folder" button
}  // namespace bif

// Messages between the dialog and its callback (BFFM_ values).
namespace bffm {
// From the dialog to the callback. lParam: 0; the selected item; the typed text.
constexpr unsigned Initialized = 1;
constexpr unsigned SelChanged = 2;
constexpr unsigned ValidateFailed = 3;
// From the callback to the dialog.
constexpr unsigned SetStatusText = 0x464;  // lParam: the text
constexpr unsigned EnableOk = 0x465;       // lParam: nonzero enables OK, zero disables it
constexpr unsigned SetSelection = 0x466;   // wParam nonzero: lParam is a path
}  // namespace bffm

// The callback in the shell's form: the dialog, the message, its argument, and the request's
// lParam. The result is the answer to the message.
using BrowseCallback = int (*)(WindowHandle dialog, unsigned message, MessageParam lParam,
                               MessageParam data);

// One request for the folder dialog, in the field order of the shell's record.
struct BrowseInfo {
  WindowHandle hwndOwner = 0;
  ItemHandle pidlRoot = noItem;    // the top of the tree; none for the whole tree
  char* pszDisplayName = nullptr;  // MaxPathBytes that receive the chosen item's display name
  std::string lpszTitle;           // shown above the folder tree
  std::uint32_t ulFlags = 0;       // bif values
  BrowseCallback lpfn = nullptr;   // called with the bffm notifications while the dialog is open
  MessageParam lParam = 0;         // handed to the callback as its data
  int iImage = 0;                  // receives the chosen item's image index
};

// The shell's folder dialog. Texts are UTF-8; paths passed through message parameters are
// NUL-terminated texts whose address is the parameter.
class FolderDialog {
 public:
  virtual ~FolderDialog() = default;
  // Shows the dialog modally to the owner and returns the chosen item, or noItem when the dialog
  // is cancelled or closed. The callback runs inside this call. The caller frees the item.
  virtual ItemHandle browse(BrowseInfo& request) = 0;
  // Writes the item's file-system path, NUL-terminated, into the buffer. False when the item has
  // no file-system path or the path does not fit MaxPath (fitsMaxPath); the buffer's content is
  // then unspecified.
  virtual bool pathFromItem(ItemHandle item, char (&buffer)[MaxPathBytes]) = 0;
  // Frees an item returned by browse().
  virtual void freeItem(ItemHandle item) = 0;
  // Sends a bffm message to an open dialog; the result is the dialog's answer.
  virtual MessageParam sendMessage(WindowHandle dialog, unsigned message, std::uintptr_t wParam,
                                   MessageParam lParam) = 0;
};

}  // namespace karvelo::platform
