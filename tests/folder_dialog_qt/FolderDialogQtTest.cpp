// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#include <vector>

#include "OpenDialog.h"
#include "folder_browser/modFolderBrowse.h"
#include "views/qt/folder_dialog/QtFolderDialog.h"

namespace karvelo {
namespace {

using views::qt::answerInput;
using views::qt::button;
using views::qt::FolderBrowseDialog;
using views::qt::QtFolderDialog;
using views::qt::whenOpen;

// What the recording callback heard, and how it answers a validation failure.
struct Heard {
  unsigned message;
  std::string text;
};
std::vector<Heard> heard;
int validationAnswer = 0;

int recordingCallback(platform::WindowHandle, unsigned message, platform::MessageParam lParam,
                      platform::MessageParam) {
  heard.push_back({message, message == platform::bffm::ValidateFailed
                                ? std::string(reinterpret_cast<const char*>(lParam))
                                : std::string()});
  return message == platform::bffm::ValidateFailed ? validationAnswer : 0;
}

class FolderDialogQtTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp.isValid());
    ASSERT_TRUE(QDir(temp.path()).mkpath("alpha/inner"));
    ASSERT_TRUE(QDir(temp.path()).mkpath("beta"));
    modFolderBrowse::StartFolder.clear();
    heard.clear();
    validationAnswer = 0;
  }
  void TearDown() override { modFolderBrowse::StartFolder.clear(); }

  QString at(const QString& relative) const { return QDir(temp.path()).filePath(relative); }
  static std::string bytes(const QString& path) { return path.toStdString(); }

  std::string browse(std::int32_t flags, platform::WindowHandle owner = 0) {
    return modFolderBrowse::BrowseForFolder(service, owner, "Select Folder", flags);
  }
  // A request with the recording callback, as the shell's protocol allows any caller to make.
  std::string browseRecorded(std::uint32_t flags) {
    platform::BrowseInfo request;
    char displayName[platform::MaxPathBytes] = {};
    request.pszDisplayName = displayName;
    request.lpszTitle = "Select Folder";
    request.ulFlags = flags;
    request.lpfn = &recordingCallback;
    const platform::ItemHandle item = service.browse(request);
    if (item == platform::noItem) return "(none)";
    char path[platform::MaxPathBytes];
    const bool hasPath = service.pathFromItem(item, path);
    service.freeItem(item);
    return hasPath ? std::string(path) : "(no path)";
  }

  QTemporaryDir temp;
  QtFolderDialog service;
};

TEST_F(FolderDialogQtTest, OpensOnAnExistingStartFolderAndReturnsTheChosenFolder) {
  const QString inner = at("alpha/inner");
  modFolderBrowse::StartFolder = bytes(inner);
  QString titleShown;
  QString statusShown;
  whenOpen([&](FolderBrowseDialog& dialog) {
    EXPECT_EQ(dialog.selectedFolder(), inner);
    EXPECT_TRUE(button(dialog, QDialogButtonBox::Ok)->isEnabled());
    titleShown = dialog.findChild<QLabel*>("title")->text();
    statusShown = dialog.findChild<QLabel*>("statusText")->text();
    EXPECT_TRUE(dialog.findChild<QLabel*>("statusText")->isVisible());
    button(dialog, QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(browse(0x4), bytes(inner));
  EXPECT_EQ(titleShown, "Select Folder");
  EXPECT_EQ(statusShown, inner) << "the callback's status text is shown with StatusText";

  // A start folder that does not exist leaves the dialog's own first selection, the home folder;
  // the root folder comes back as "/".
  modFolderBrowse::StartFolder = bytes(at("gone"));
  whenOpen([&](FolderBrowseDialog& dialog) {
    EXPECT_EQ(dialog.selectedFolder(), QDir::homePath());
    EXPECT_FALSE(dialog.findChild<QLabel*>("statusText")->isVisible());
    EXPECT_TRUE(dialog.selectFolder("/"));
    button(dialog, QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(browse(0), "/");

  // Any other folder comes back without a trailing separator. The dialog belongs to the window
  // whose native handle is the owner.
  QWidget mainWindow;
  mainWindow.show();
  const auto handle = static_cast<platform::WindowHandle>(mainWindow.winId());
  modFolderBrowse::StartFolder = bytes(at("beta")) + "/";
  QWidget* parent = nullptr;
  whenOpen([&](FolderBrowseDialog& dialog) {
    parent = dialog.parentWidget();
    button(dialog, QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(browse(0, handle), bytes(at("beta")));
  EXPECT_EQ(parent, &mainWindow);
}

TEST_F(FolderDialogQtTest, FolderWhosePathDoesNotFitCannotBeConfirmed) {
  // The limit counts characters: 200 Cyrillic letters (400 bytes, in two folders because a name
  // takes at most 255 bytes here) can be chosen; going past 259 characters cannot.
  const QString cyrillic = at(QString(100, QChar(0x0436)) + "/" + QString(100, QChar(0x0436)));
  QString deep = cyrillic;
  while (deep.size() < static_cast<qsizetype>(platform::MaxPath)) deep += "/" + QString(20, 'd');
  ASSERT_TRUE(QDir().mkpath(deep));
  modFolderBrowse::StartFolder = bytes(cyrillic);
  whenOpen([&](FolderBrowseDialog& dialog) {
    EXPECT_TRUE(button(dialog, QDialogButtonBox::Ok)->isEnabled());
    button(dialog, QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(browse(0), bytes(cyrillic));

  modFolderBrowse::StartFolder = bytes(deep);
  whenOpen([&](FolderBrowseDialog& dialog) {
    EXPECT_EQ(dialog.selectedFolder(), deep);
    EXPECT_FALSE(button(dialog, QDialogButtonBox::Ok)->isEnabled());
    EXPECT_TRUE(dialog.selectFolder(at("alpha")));
    EXPECT_TRUE(button(dialog, QDialogButtonBox::Ok)->isEnabled());
    button(dialog, QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(browse(0), bytes(at("alpha")));
}

TEST_F(FolderDialogQtTest, CancelEscAndTheCloseBoxGiveNoneEvenAfterASelection) {
  modFolderBrowse::StartFolder = bytes(at("alpha"));
  whenOpen([&](FolderBrowseDialog& dialog) {
    EXPECT_TRUE(dialog.selectFolder(at("beta")));
    button(dialog, QDialogButtonBox::Cancel)->click();
  });
  EXPECT_EQ(browse(0), "");

  whenOpen([&](FolderBrowseDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); });
  EXPECT_EQ(browse(0), "");

  whenOpen([&](FolderBrowseDialog& dialog) { dialog.close(); });
  EXPECT_EQ(browse(0x50), "");
}

TEST_F(FolderDialogQtTest, EditFieldAndNewFolderButtonAppearOnlyWithTheirFlags) {
  modFolderBrowse::StartFolder = bytes(at("alpha"));
  whenOpen([&](FolderBrowseDialog& dialog) {
    EXPECT_FALSE(dialog.findChild<QLineEdit*>("folderEdit")->isVisible());
    EXPECT_FALSE(dialog.findChild<QPushButton*>("newFolderButton")->isVisible());
    EXPECT_TRUE(dialog.findChild<QPushButton*>("homeButton")->isVisible());
    button(dialog, QDialogButtonBox::Cancel)->click();
  });
  browse(0);

  whenOpen([&](FolderBrowseDialog& dialog) {
    auto* edit = dialog.findChild<QLineEdit*>("folderEdit");
    EXPECT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->text(), at("alpha")) << "the edit field follows the selection";
    auto* newFolder = dialog.findChild<QPushButton*>("newFolderButton");
    ASSERT_TRUE(newFolder->isVisible());
    // The button asks for the name, proposing one that is free.
    QString proposed;
    answerInput([&](QInputDialog& input) {
      proposed = input.textValue();
      input.accept();
    });
    newFolder->click();
    EXPECT_EQ(proposed, "New Folder");
    EXPECT_EQ(dialog.selectedFolder(), at("alpha/New Folder"));
    EXPECT_TRUE(dialog.selectFolder(at("alpha")));
    EXPECT_EQ(dialog.freeFolderName(), "New Folder (2)");
    answerInput([&](QInputDialog& input) {
      input.setTextValue("small");
      input.accept();
    });
    newFolder->click();
    EXPECT_EQ(dialog.selectedFolder(), at("alpha/small"));
    EXPECT_EQ(edit->text(), at("alpha/small"));
    EXPECT_FALSE(dialog.makeNewFolder("a/b"));
    EXPECT_FALSE(dialog.makeNewFolder(".."));
    QTest::keyClick(&dialog, Qt::Key_Return);
  });
  EXPECT_EQ(browse(0x50), bytes(at("alpha/small")));
  EXPECT_TRUE(QDir(at("alpha/New Folder")).exists());
}

TEST_F(FolderDialogQtTest, TypedNameThatIsNoFolderIsReportedAsAValidationFailure) {
  // The callback keeps the dialog open with a nonzero answer, and closes it without a choice
  // with zero.
  whenOpen([&](FolderBrowseDialog& dialog) {
    EXPECT_TRUE(dialog.selectFolder(at("alpha")));
    dialog.findChild<QLineEdit*>("folderEdit")->setText("nowhere");
    validationAnswer = 1;
    button(dialog, QDialogButtonBox::Ok)->click();
    EXPECT_TRUE(dialog.isVisible());
    validationAnswer = 0;
    button(dialog, QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(browseRecorded(0x70), "(none)");
  std::vector<std::string> failures;
  for (const Heard& h : heard)
    if (h.message == platform::bffm::ValidateFailed) failures.push_back(h.text);
  EXPECT_EQ(failures, (std::vector<std::string>{"nowhere", "nowhere"}));
  ASSERT_FALSE(heard.empty());
  EXPECT_EQ(heard.front().message, platform::bffm::Initialized);

  // A typed name of an existing folder, relative to the selection, wins over the selection;
  // without Validate a name that is no folder leaves the selection as the result.
  heard.clear();
  whenOpen([&](FolderBrowseDialog& dialog) {
    EXPECT_TRUE(dialog.selectFolder(at("alpha")));
    dialog.findChild<QLineEdit*>("folderEdit")->setText("inner/");
    button(dialog, QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(browseRecorded(0x50), bytes(at("alpha/inner")));
  whenOpen([&](FolderBrowseDialog& dialog) {
    EXPECT_TRUE(dialog.selectFolder(at("beta")));
    dialog.findChild<QLineEdit*>("folderEdit")->setText("nowhere");
    button(dialog, QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(browseRecorded(0x50), bytes(at("beta")));
  for (const Heard& h : heard) EXPECT_NE(h.message, platform::bffm::ValidateFailed);

  // Through the folder browser, a typed name that is no folder gives no folder.
  modFolderBrowse::StartFolder = bytes(at("alpha"));
  whenOpen([&](FolderBrowseDialog& dialog) {
    dialog.findChild<QLineEdit*>("folderEdit")->setText(at("nowhere"));
    button(dialog, QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(browse(0x50), "");
}

}  // namespace
}  // namespace karvelo
