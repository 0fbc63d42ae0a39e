// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "folder_browser/modFolderBrowse.h"
#include "forms/RuntimeError.h"
#include "main_window/Form1Fixture.h"

namespace {

using namespace karvelo;
using fakes::FakeFolderDialog;
using forms::CheckBox;
using Names = std::vector<std::string>;

constexpr const char* Pictures = "/home/ann/Pictures";
constexpr const char* Holiday = "/home/ann/Holiday";
constexpr const char* Small = "/home/ann/Small";

// The main window with two listable folders, and the start folder seen by each dialog.
struct FolderHandlersTest : karvelo::testing::Form1Fixture {
  FolderHandlersTest() {
    fake.files.folders[Pictures] = {"b.JPG", "a.png", "notes.txt"};
    fake.files.folders[Holiday] = {"sea.jpg", "dune.jpg"};
    form.hWnd = 0x1234;
    fake.folderDialog.onBrowse = [this](const platform::BrowseInfo&) {
      startFolders.push_back(modFolderBrowse::StartFolder);
    };
    modFolderBrowse::StartFolder.clear();
  }
  ~FolderHandlersTest() override { modFolderBrowse::StartFolder.clear(); }

  void browseSource(const std::string& folder) {
    fake.folderDialog.willChoose(folder);
    form.Command1.click();
  }
  void browseDestination(const std::string& folder) {
    fake.folderDialog.willChoose(folder);
    form.Command2.click();
  }

  std::vector<std::string> startFolders;
};

TEST_F(FolderHandlersTest, SourceBrowseChosenCancelledAndUnlistable) {
  // Chosen: both captions take the folder while the box is ticked, List1 is relisted, List2 kept.
  fill(form.List2, {"kept.jpg"});
  browseSource(Pictures);
  EXPECT_EQ(form.lblPicFolder.Caption(), Pictures);
  EXPECT_EQ(form.lblPicFolderDest.Caption(), Pictures);
  EXPECT_EQ(entries(form.List1), (Names{"a.png", "b.JPG", "notes.txt"}));
  EXPECT_EQ(entries(form.List2), (Names{"kept.jpg"}));
  EXPECT_TRUE(form.cmdRefresh.Enabled());
  const auto& request = fake.folderDialog.requests.back();
  EXPECT_EQ(request.hwndOwner, 0x1234u);
  EXPECT_EQ(request.lpszTitle, "Select Folder");
  EXPECT_EQ(request.ulFlags, 0x20u);

  // A new source folder, with the box clear: the destination stays, List1 is replaced.
  form.chkSource.setValue(CheckBox::Unchecked);
  form.lblPicFolderDest.setCaption(Small);
  fill(form.List1, {"stale.jpg"});
  browseSource(Holiday);
  EXPECT_EQ(form.lblPicFolderDest.Caption(), Small);
  EXPECT_EQ(entries(form.List1), (Names{"dune.jpg", "sea.jpg"}));
  EXPECT_EQ(entries(form.List2), (Names{"kept.jpg"}));
  EXPECT_EQ(startFolders, (Names{"", Pictures})) << "each dialog opens on the current source";
  EXPECT_EQ(fake.folderDialog.openedOn.back(), Pictures);
  EXPECT_EQ(modFolderBrowse::StartFolder, "");

  // Cancelled after a chosen folder, even with the box ticked: the source and List1 empty,
  // the destination, List2 and Refresh as they were, and no message.
  form.chkSource.setValue(CheckBox::Checked);
  fake.folderDialog.script({FakeFolderDialog::select(Pictures), FakeFolderDialog::cancel()});
  form.Command1.click();
  EXPECT_EQ(form.lblPicFolder.Caption(), "");
  EXPECT_EQ(form.List1.ListCount(), 0);
  EXPECT_EQ(form.lblPicFolderDest.Caption(), Small);
  EXPECT_EQ(entries(form.List2), (Names{"kept.jpg"}));
  EXPECT_TRUE(form.cmdRefresh.Enabled());
  EXPECT_TRUE(fake.messages.shown.empty());
  EXPECT_EQ(modFolderBrowse::StartFolder, "");
}

TEST_F(FolderHandlersTest, SourceFolderThatCannotBeListedLeavesRefreshAndTheDestinationAlone) {
  form.lblPicFolderDest.setCaption(Small);
  browseSource("/home/ann/Locked");
  EXPECT_EQ(form.lblPicFolder.Caption(), "/home/ann/Locked");
  EXPECT_EQ(form.lblPicFolderDest.Caption(), Small);
  EXPECT_EQ(form.List1.ListCount(), 0);
  EXPECT_FALSE(form.cmdRefresh.Enabled()) << "only a listed folder enables Refresh";

  // Cancelling the very first dialog does not enable it either.
  fake.folderDialog.willCancel();
  form.Command1.click();
  EXPECT_FALSE(form.cmdRefresh.Enabled());
  EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(FolderHandlersTest, DestinationBrowseOpensOnTheSourceWithEditFieldAndNewFolder) {
  // With no source folder the dialog opens without a preselected folder.
  browseDestination(Small);
  EXPECT_EQ(fake.folderDialog.openedOn.back(), "");
  EXPECT_TRUE(fake.folderDialog.sentOf(platform::bffm::SetSelection).empty());
  EXPECT_EQ(fake.folderDialog.requests.back().ulFlags, 0x70u);
  EXPECT_EQ(fake.folderDialog.requests.back().lpszTitle, "Select Folder");
  EXPECT_EQ(form.lblPicFolderDest.Caption(), Small);

  browseSource(Pictures);
  fill(form.List2, {"kept.jpg"});
  form.lblPicFolderDest.setCaption(Holiday);
  browseDestination(Small);
  EXPECT_EQ(startFolders.back(), Pictures) << "the source folder, not the current destination";
  EXPECT_EQ(fake.folderDialog.openedOn.back(), Pictures);
  EXPECT_EQ(form.lblPicFolderDest.Caption(), Small);
  EXPECT_EQ(form.lblPicFolder.Caption(), Pictures);
  EXPECT_EQ(entries(form.List2), (Names{"kept.jpg"}));
  EXPECT_EQ(form.List1.ListCount(), 3);
  EXPECT_TRUE(form.chkSource.isChecked()) << "the box may stay ticked with another destination";
  EXPECT_EQ(modFolderBrowse::StartFolder, "");

  // Cancel empties the destination.
  fake.folderDialog.willCancel();
  form.Command2.click();
  EXPECT_EQ(form.lblPicFolderDest.Caption(), "");
  EXPECT_EQ(form.lblPicFolder.Caption(), Pictures);
  EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(FolderHandlersTest, SameAsSourceFollowsBrowseAndRefreshAndIsEmptiedWhenCleared) {
  browseSource(Pictures);
  browseDestination(Small);
  EXPECT_EQ(form.lblPicFolderDest.Caption(), Small);
  // A later source Browse or Refresh puts the source folder back.
  browseSource(Holiday);
  EXPECT_EQ(form.lblPicFolderDest.Caption(), Holiday);
  browseDestination(Small);
  form.cmdRefresh.click();
  EXPECT_EQ(form.lblPicFolderDest.Caption(), Holiday);

  // Clearing the box empties the destination even when Browse set it; ticking copies the source.
  browseDestination(Small);
  form.chkSource.click();
  EXPECT_EQ(form.chkSource.Value(), CheckBox::Unchecked);
  EXPECT_EQ(form.lblPicFolderDest.Caption(), "");
  form.chkSource.click();
  EXPECT_EQ(form.lblPicFolderDest.Caption(), Holiday);
  // The grayed value counts as clear.
  form.chkSource.setValue(CheckBox::Grayed);
  form.chkSource_Click();
  EXPECT_EQ(form.lblPicFolderDest.Caption(), "");
  // Ticking with no source folder copies the empty caption.
  form.lblPicFolder.setCaption("");
  form.lblPicFolderDest.setCaption(Small);
  form.chkSource.setValue(CheckBox::Unchecked);
  form.chkSource.click();
  EXPECT_EQ(form.lblPicFolderDest.Caption(), "");
  EXPECT_EQ(form.lblPicFolder.Caption(), "");
}

TEST_F(FolderHandlersTest, OverwriteGreysThePrefixAndKeepsItsText) {
  form.txtPrefix.setText("small-");
  form.chkOverwrite.click();
  EXPECT_FALSE(form.lblPrefix.Enabled());
  EXPECT_FALSE(form.txtPrefix.Enabled());
  EXPECT_TRUE(form.lblSuffix.Enabled());
  EXPECT_TRUE(form.txtSuffix.Enabled());
  EXPECT_EQ(form.txtPrefix.Text(), "small-");
  form.chkOverwrite.click();
  EXPECT_TRUE(form.lblPrefix.Enabled());
  EXPECT_TRUE(form.txtPrefix.Enabled());
  EXPECT_EQ(form.txtPrefix.Text(), "small-");
}

TEST_F(FolderHandlersTest, RefreshOfAFolderThatCannotBeListedEndsQuietly) {
  // Removed, renamed, or left empty by a cancelled Browse: both lists end empty, the captions
  // stay as they are, Refresh stays enabled, no message, and nothing reaches the event loop.
  browseSource(Pictures);
  browseDestination(Small);
  fill(form.List2, {"chosen.jpg"});
  fake.files.folders.erase(Pictures);
  EXPECT_NO_THROW(form.cmdRefresh.click());
  EXPECT_EQ(form.List1.ListCount() + form.List2.ListCount(), 0);
  EXPECT_EQ(form.lblPicFolder.Caption(), Pictures);
  EXPECT_EQ(form.lblPicFolderDest.Caption(), Small) << "as the source Browse, no copy on failure";
  EXPECT_TRUE(form.cmdRefresh.Enabled());

  // The folder comes back under its old name: Refresh lists it again.
  fake.files.folders[Pictures] = {"a.png"};
  form.cmdRefresh.click();
  EXPECT_EQ(entries(form.List1), (Names{"a.png"}));
  EXPECT_EQ(form.lblPicFolderDest.Caption(), Pictures);

  fake.folderDialog.willCancel();
  form.Command1.click();
  fill(form.List2, {"chosen.jpg"});
  EXPECT_NO_THROW(form.cmdRefresh.click());
  EXPECT_EQ(form.List1.ListCount() + form.List2.ListCount(), 0);
  EXPECT_EQ(form.lblPicFolder.Caption(), "");
  EXPECT_EQ(form.lblPicFolderDest.Caption(), Pictures);
  EXPECT_TRUE(fake.messages.shown.empty());
}

TEST_F(FolderHandlersTest, BrowseHandlersTrapFailuresSilently) {
  browseSource(Pictures);
  fake.folderDialog.onBrowse = [](const platform::BrowseInfo&) {
    throw RuntimeError(RuntimeError::InvalidCall, "no dialog");
  };
  EXPECT_NO_THROW(form.Command1.click());
  EXPECT_NO_THROW(form.Command2.click());
  EXPECT_EQ(form.lblPicFolder.Caption(), Pictures);
  EXPECT_EQ(form.lblPicFolderDest.Caption(), Pictures);
  EXPECT_EQ(form.List1.ListCount(), 3);
  EXPECT_EQ(modFolderBrowse::StartFolder, "") << "the start folder is emptied after a failure too";
  EXPECT_TRUE(fake.messages.shown.empty());
}

}  // namespace
