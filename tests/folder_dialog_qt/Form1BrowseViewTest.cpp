// SPDX-License-Identifier: GPL-3.0-or-later
// The Browse buttons of the main window as the user sees them: the real folder dialog over the
// real window, with fake folders and converter.

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "OpenDialog.h"
#include "fakes/FakeServices.h"
#include "folder_browser/modFolderBrowse.h"
#include "main_window/Form1.h"
#include "views/qt/QtView.h"
#include "views/qt/folder_dialog/QtFolderDialog.h"

namespace karvelo::views::qt {
namespace {

class Form1BrowseViewTest : public ::testing::Test {
 protected:
  Form1BrowseViewTest() {
    QDir(temp.path()).mkpath("pictures");
    fake.files.folders[pictures.toStdString()] = {"beach.jpg", "alps.jpg"};
    form.decimalSeparator = '.';
    form.setFontMetrics(&view.fontMetrics());
    form.load();
    view.show(form);
  }
  // The window goes before the form it shows.
  ~Form1BrowseViewTest() override { view.end(); }

  QString caption(const forms::Label& label) const {
    return dynamic_cast<QLabel*>(view.widgetOf(label))->text();
  }

  QTemporaryDir temp;
  const QString pictures = QDir(temp.path()).filePath("pictures");
  QtView view;
  fakes::FakeServices fake;
  QtFolderDialog folderDialog;
  main_window::Form1 form{
      fake.services({.messages = &view, .application = &view, .folderDialog = &folderDialog})};
};

TEST_F(Form1BrowseViewTest, BrowseOpensTheDialogOverTheMainWindowAndShowsTheChosenFolder) {
  whenOpen([&](FolderBrowseDialog& dialog) {
    EXPECT_EQ(dialog.parentWidget(), view.windowOf(form));
    EXPECT_FALSE(dialog.findChild<QLineEdit*>("folderEdit")->isVisible());
    EXPECT_TRUE(dialog.selectFolder(pictures));
    button(dialog, QDialogButtonBox::Ok)->click();
  });
  QTest::mouseClick(view.widgetOf(form.Command1), Qt::LeftButton);
  EXPECT_EQ(caption(form.lblPicFolder), pictures);
  EXPECT_EQ(caption(form.lblPicFolderDest), pictures);
  EXPECT_EQ(form.List1.ListCount(), 2);
  EXPECT_TRUE(view.widgetOf(form.cmdRefresh)->isEnabled());

  // The destination dialog opens on the source folder, with the edit field and Make New Folder;
  // Esc empties the destination.
  whenOpen([&](FolderBrowseDialog& dialog) {
    EXPECT_EQ(dialog.selectedFolder(), pictures);
    EXPECT_TRUE(dialog.findChild<QLineEdit*>("folderEdit")->isVisible());
    EXPECT_TRUE(dialog.findChild<QPushButton*>("newFolderButton")->isVisible());
    QTest::keyClick(&dialog, Qt::Key_Escape);
  });
  QTest::mouseClick(view.widgetOf(form.Command2), Qt::LeftButton);
  EXPECT_EQ(caption(form.lblPicFolderDest), "");
  EXPECT_EQ(caption(form.lblPicFolder), pictures);
  EXPECT_EQ(modFolderBrowse::StartFolder, "");
  EXPECT_TRUE(view.windowOf(form)->isVisible());
}

}  // namespace
}  // namespace karvelo::views::qt
