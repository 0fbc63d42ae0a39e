// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/qt/folder_dialog/QtFolderDialog.h"

#include <QApplication>
#include <QFile>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <exception>

#include "views/qt/folder_dialog/FolderBrowseDialog.h"

namespace karvelo::views::qt {

namespace bffm = platform::bffm;
using platform::ItemHandle;
using platform::MessageParam;
using platform::WindowHandle;

namespace {

// Paths cross the service as the file system's bytes.
std::string bytesOf(const QString& path) { return QFile::encodeName(path).toStdString(); }
QString pathOf(const char* bytes) { return QFile::decodeName(QByteArray(bytes)); }

}  // namespace

QWidget* QtFolderDialog::windowOf(WindowHandle handle) {
  if (handle == 0) return nullptr;
  if (QWidget* widget = QWidget::find(static_cast<WId>(handle))) return widget->window();
  for (QWidget* window : QApplication::topLevelWidgets())
    if (reinterpret_cast<WindowHandle>(window) == handle) return window;
  return nullptr;
}

ItemHandle QtFolderDialog::newItem(std::string path) {
  const ItemHandle item = nextItem_++;
  items_.emplace(item, std::move(path));
  return item;
}

ItemHandle QtFolderDialog::browse(platform::BrowseInfo& request) {
  const platform::BrowseInfo* const info = &request;
  std::exception_ptr failure;
  FolderBrowseDialog* dialogPointer = nullptr;
  // The callback runs inside the dialog's modal loop; a failure escaping it closes the dialog and
  // is raised again to the caller once the loop has ended.
  auto notify = [this, info, &failure, &dialogPointer](unsigned message, const QString& text) {
    if (info->lpfn == nullptr || failure) return 0;
    const WindowHandle window = reinterpret_cast<WindowHandle>(dialogPointer);
    try {
      if (message == bffm::SelChanged) {
        // The selected item belongs to the dialog: it lives for the length of the call.
        const ItemHandle item = newItem(bytesOf(text));
        struct Release {
          QtFolderDialog& service;
          ItemHandle item;
          ~Release() { service.items_.erase(item); }
        } release{*this, item};
        return info->lpfn(window, message, static_cast<MessageParam>(item), info->lParam);
      }
      if (message == bffm::ValidateFailed) {
        const std::string typed = text.toStdString();
        return info->lpfn(window, message, reinterpret_cast<MessageParam>(typed.c_str()),
                          info->lParam);
      }
      return info->lpfn(window, message, 0, info->lParam);
    } catch (...) {
      failure = std::current_exception();
      if (dialogPointer != nullptr) dialogPointer->reject();
      return 0;
    }
  };

  FolderBrowseDialog dialog(windowOf(request.hwndOwner), QString::fromStdString(request.lpszTitle),
                            request.ulFlags, notify);
  dialogPointer = &dialog;
  open_.insert(&dialog);
  const int answer = dialog.exec();
  open_.erase(&dialog);
  if (failure) std::rethrow_exception(failure);
  if (answer != QDialog::Accepted || dialog.chosenFolder().isEmpty()) return platform::noItem;

  const std::string path = bytesOf(dialog.chosenFolder());
  if (request.pszDisplayName != nullptr) {
    const auto slash = path.find_last_of('/');
    std::string name = slash == std::string::npos || path == "/" ? path : path.substr(slash + 1);
    name.resize(std::min(name.size(), platform::MaxPathBytes - 1));
    std::memcpy(request.pszDisplayName, name.c_str(), name.size() + 1);
  }
  request.iImage = 0;
  return newItem(path);
}

bool QtFolderDialog::pathFromItem(ItemHandle item, char (&buffer)[platform::MaxPathBytes]) {
  const auto it = items_.find(item);
  if (it == items_.end() || !platform::fitsMaxPath(it->second)) {
    buffer[0] = '\0';
    return false;
  }
  std::memcpy(buffer, it->second.c_str(), it->second.size() + 1);
  return true;
}

void QtFolderDialog::freeItem(ItemHandle item) { items_.erase(item); }

MessageParam QtFolderDialog::sendMessage(WindowHandle dialog, unsigned message,
                                         std::uintptr_t wParam, MessageParam lParam) {
  auto* target = reinterpret_cast<FolderBrowseDialog*>(dialog);
  if (open_.count(target) == 0) return 0;
  switch (message) {
    case bffm::SetSelection: {
      QString path;
      if (wParam != 0) {
        if (lParam != 0) path = pathOf(reinterpret_cast<const char*>(lParam));
      } else if (const auto it = items_.find(static_cast<ItemHandle>(lParam)); it != items_.end()) {
        path = pathOf(it->second.c_str());
      }
      return target->selectFolder(path) ? 1 : 0;
    }
    case bffm::SetStatusText:
      target->setStatusText(lParam != 0 ? pathOf(reinterpret_cast<const char*>(lParam))
                                        : QString());
      return 0;
    case bffm::EnableOk:
      target->enableOk(lParam != 0);
      return 0;
    default:
      return 0;
  }
}

}  // namespace karvelo::views::qt
