// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/qt/folder_dialog/FolderBrowseDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "platform/FolderDialog.h"

namespace karvelo::views::qt {

namespace bif = platform::bif;
namespace bffm = platform::bffm;

FolderBrowseDialog::FolderBrowseDialog(QWidget* owner, const QString& title, std::uint32_t flags,
                                       Notify notify)
    : QDialog(owner), flags_(flags), notify_(std::move(notify)) {
  setWindowTitle(QStringLiteral("Browse For Folder"));
  setModal(true);
  resize(420, 460);

  auto* layout = new QVBoxLayout(this);
  auto* titleLabel = new QLabel(title, this);
  titleLabel->setObjectName(QStringLiteral("title"));
  titleLabel->setWordWrap(true);
  layout->addWidget(titleLabel);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("statusText"));
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_->setVisible((flags & bif::StatusText) != 0);
  layout->addWidget(status_);

  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
  // Nothing is renamed, moved or deleted through the tree; Make New Folder makes folders itself.
  model_->setReadOnly(true);
  model_->setRootPath(QDir::rootPath());

  tree_ = new QTreeView(this);
  tree_->setObjectName(QStringLiteral("folderTree"));
  tree_->setModel(model_);
  tree_->setHeaderHidden(true);
  for (int column = 1; column < model_->columnCount(); ++column) tree_->hideColumn(column);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  tree_->setSortingEnabled(true);
  tree_->sortByColumn(0, Qt::AscendingOrder);
  layout->addWidget(tree_, 1);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { selectionChanged(); });
  // The tree loads folders in the background, and each load moves the rows below it: the
  // selected folder is scrolled to again as each folder above it is loaded, until the user acts.
  connect(model_, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
    if (inView_.isEmpty()) return;
    if (loaded == inView_ || inView_.startsWith(loaded.endsWith('/') ? loaded : loaded + '/'))
      tree_->scrollTo(model_->index(inView_), QAbstractItemView::PositionAtCenter);
  });
  connect(tree_, &QTreeView::pressed, this, [this] { inView_.clear(); });

  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("folderEdit"));
  auto* editRow = new QHBoxLayout;
  auto* editLabel = new QLabel(QStringLiteral("Folder:"), this);
  editLabel->setBuddy(edit_);
  editRow->addWidget(editLabel);
  editRow->addWidget(edit_, 1);
  layout->addLayout(editRow);
  const bool withEdit = (flags & bif::EditBox) != 0;
  editLabel->setVisible(withEdit);
  edit_->setVisible(withEdit);

  auto* buttonRow = new QHBoxLayout;
  auto* home = new QPushButton(QStringLiteral("&Home"), this);
  home->setObjectName(QStringLiteral("homeButton"));
  home->setAutoDefault(false);
  connect(home, &QPushButton::clicked, this, [this] { selectFolder(QDir::homePath()); });
  buttonRow->addWidget(home);
  newFolder_ = new QPushButton(QStringLiteral("&Make New Folder"), this);
  newFolder_->setObjectName(QStringLiteral("newFolderButton"));
  newFolder_->setAutoDefault(false);
  newFolder_->setVisible((flags & bif::NewDialogStyle) != 0);
  newFolder_->setEnabled(false);
  connect(newFolder_, &QPushButton::clicked, this, [this] { askNewFolder(); });
  buttonRow->addWidget(newFolder_);
  buttonRow->addStretch(1);
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons_->setObjectName(QStringLiteral("buttons"));
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);
  connect(buttons_, &QDialogButtonBox::accepted, this, [this] { pressOk(); });
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  buttonRow->addWidget(buttons_);
  layout->addLayout(buttonRow);

  // The dialog's own first selection, until the callback asks for another: the home folder.
  if (const QModelIndex home = model_->index(QDir::homePath()); home.isValid()) showSelected(home);
  tree_->setFocus();
}

void FolderBrowseDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (opening_) return;
  opening_ = true;
  // The callback hears of the opened dialog from inside the dialog's own modal loop, and then of
  // the selection it opened with, unless it has chosen one itself meanwhile.
  QTimer::singleShot(0, this, [this] {
    announced_ = true;
    notify_(bffm::Initialized, QString());
    if (!selectionHeard_) selectionChanged();
    initialized_ = true;
  });
}

QString FolderBrowseDialog::selectedFolder() const {
  const QModelIndex current = tree_->currentIndex();
  return current.isValid() ? model_->filePath(current) : QString();
}

bool FolderBrowseDialog::selectFolder(const QString& path) {
  const QFileInfo info(path);
  if (path.isEmpty() || !info.isDir()) return false;
  const QModelIndex index = model_->index(QDir::cleanPath(info.absoluteFilePath()));
  if (!index.isValid()) return false;
  showSelected(index);
  return true;
}

void FolderBrowseDialog::showSelected(const QModelIndex& index) {
  for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
    tree_->expand(parent);
  tree_->setCurrentIndex(index);
  tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
  inView_ = model_->filePath(index);
}

void FolderBrowseDialog::setStatusText(const QString& text) { status_->setText(text); }

void FolderBrowseDialog::enableOk(bool enabled) {
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(enabled);
}

QString FolderBrowseDialog::freeFolderName() const {
  const QDir folder(selectedFolder());
  QString name = QStringLiteral("New Folder");
  for (int n = 2; folder.exists(name); ++n) name = QStringLiteral("New Folder (%1)").arg(n);
  return name;
}

bool FolderBrowseDialog::makeNewFolder(const QString& name) {
  const QModelIndex parent = tree_->currentIndex();
  if (!parent.isValid() || name.isEmpty() || name == QStringLiteral(".") ||
      name == QStringLiteral("..") || name.contains(QLatin1Char('/')))
    return false;
  const QModelIndex made = model_->mkdir(parent, name);
  if (!made.isValid()) return false;
  showSelected(made);
  return true;
}

void FolderBrowseDialog::askNewFolder() {
  bool ok = false;
  const QString name = QInputDialog::getText(this, QStringLiteral("Make New Folder"),
                                             QStringLiteral("Name of the new folder:"),
                                             QLineEdit::Normal, freeFolderName(), &ok);
  if (!ok) return;
  if (!makeNewFolder(name))
    QMessageBox::warning(this, QStringLiteral("Make New Folder"),
                         QStringLiteral("The folder \"%1\" cannot be made here.").arg(name));
}

void FolderBrowseDialog::selectionChanged() {
  const QString path = selectedFolder();
  newFolder_->setEnabled(!path.isEmpty());
  if ((flags_ & bif::EditBox) != 0) edit_->setText(path);
  // A selected folder can be confirmed unless the callback says otherwise.
  enableOk(!path.isEmpty());
  if (path.isEmpty() || !announced_) return;
  selectionHeard_ = true;
  notify_(bffm::SelChanged, path);
}

QString FolderBrowseDialog::resolveTyped(const QString& typed) const {
  QString path = typed;
  if (path == QStringLiteral("~") || path.startsWith(QStringLiteral("~/")))
    path = QDir::homePath() + path.mid(1);
  if (QDir::isRelativePath(path)) {
    const QString base = selectedFolder();
    path = QDir(base.isEmpty() ? QDir::homePath() : base).filePath(path);
  }
  return QDir::cleanPath(path);
}

void FolderBrowseDialog::pressOk() {
  QString folder = selectedFolder();
  if ((flags_ & bif::EditBox) != 0 && !edit_->text().isEmpty()) {
    const QString typed = resolveTyped(edit_->text());
    if (QFileInfo(typed).isDir()) {
      folder = typed;
    } else if ((flags_ & bif::Validate) != 0) {
      // Zero from the callback closes the dialog without a choice; anything else keeps it open.
      if (notify_(bffm::ValidateFailed, edit_->text()) != 0) return;
      reject();
      return;
    }
  }
  if (folder.isEmpty()) return;
  chosen_ = folder;
  accept();
}

}  // namespace karvelo::views::qt
