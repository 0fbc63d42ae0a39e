// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <set>
#include <string>

#include "platform/FolderDialog.h"

class QWidget;

namespace karvelo::views::qt {

class FolderBrowseDialog;

// The folder dialog service of the Qt view: shows a FolderBrowseDialog modally to the owner window
// and hands out items that stand for folder paths. Paths are the file system's bytes (UTF-8 on a
// UTF-8 system); the root folder is "/", every other folder has no trailing separator.
class QtFolderDialog final : public platform::FolderDialog {
 public:
  platform::ItemHandle browse(platform::BrowseInfo& request) override;
  bool pathFromItem(platform::ItemHandle item, char (&buffer)[platform::MaxPathBytes]) override;
  void freeItem(platform::ItemHandle item) override;
  platform::MessageParam sendMessage(platform::WindowHandle dialog, unsigned message,
                                     std::uintptr_t wParam, platform::MessageParam lParam) override;

  // The window that a window handle names, by its native id or a top-level widget's address.
  static QWidget* windowOf(platform::WindowHandle handle);

 private:
  platform::ItemHandle newItem(std::string path);

  std::map<platform::ItemHandle, std::string> items_;
  platform::ItemHandle nextItem_ = 1;
  std::set<FolderBrowseDialog*> open_;
};

}  // namespace karvelo::views::qt
