// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

class QDialogButtonBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QModelIndex;
class QTreeView;

namespace karvelo::views::qt {

// The window of the folder dialog: the request's title above a tree of the file system from its
// root, a Home button, and OK and Cancel. The dialog flags add a status line (StatusText), an edit
// field for typing a folder (EditBox), the check of a typed name (Validate) and a "Make New
// Folder" button (NewDialogStyle). The dialog tells its callback when it has opened, when the
// selection changes and when a typed name is no folder, through `notify`.
class FolderBrowseDialog : public QDialog {
 public:
  // Tells the callback of a bffm message; the text is the selected folder's path for a selection
  // change, the typed text for a validation failure, and empty when the dialog has opened. The
  // result is the callback's answer.
  using Notify = std::function<int(unsigned message, const QString& text)>;

  FolderBrowseDialog(QWidget* owner, const QString& title, std::uint32_t flags, Notify notify);

  // The folder chosen with OK; empty after Cancel, Esc, the close box or a rejected typed name.
  const QString& chosenFolder() const { return chosen_; }
  // Whether the callback has been told that the dialog opened.
  bool isInitialized() const { return initialized_; }
  // The selected folder, or empty when nothing is selected.
  QString selectedFolder() const;

  // The callback's messages: select an existing folder (false when it does not exist), set the
  // status text, enable or disable OK.
  bool selectFolder(const QString& path);
  void setStatusText(const QString& text);
  void enableOk(bool enabled);

  // The first of "New Folder", "New Folder (2)", ... that the selected folder does not hold.
  QString freeFolderName() const;
  // Makes a folder of that name inside the selected one and selects it. False when there is no
  // selection, the name is not a plain folder name, or the folder cannot be made.
  bool makeNewFolder(const QString& name);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void selectionChanged();
  // "Make New Folder": asks for the name, then makes the folder.
  void askNewFolder();
  void pressOk();
  // A typed name as a folder path: absolute, starting at the home folder with "~", or relative
  // to the selected folder.
  QString resolveTyped(const QString& typed) const;
  // Selects the folder and keeps it in view while the tree loads the folders above it.
  void showSelected(const QModelIndex& index);

  std::uint32_t flags_;
  Notify notify_;
  QFileSystemModel* model_;
  QTreeView* tree_;
  QLabel* status_;
  QLineEdit* edit_;
  QPushButton* newFolder_;
  QDialogButtonBox* buttons_;
  QString chosen_;
  QString inView_;               // the folder kept in view while its parents load
  bool opening_ = false;         // the opening notification is queued
  bool announced_ = false;       // the callback has heard that the dialog opened
  bool selectionHeard_ = false;  // the callback has heard of a selection
  bool initialized_ = false;     // the callback has answered the opening notification
};

}  // namespace karvelo::views::qt
