// SPDX-License-Identifier: GPL-3.0-or-later
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <stdexcept>

#include "fakes/FakeFolderDialog.h"
#include "folder_browser/modFolderBrowse.h"
#include "forms/RuntimeError.h"

namespace karvelo {
namespace {

using fakes::FakeFolderDialog;
using modFolderBrowse::BrowseForFolder;
using platform::bffm::EnableOk;
using platform::bffm::SetSelection;
using platform::bffm::SetStatusText;

constexpr platform::WindowHandle owner = 0x4242;

std::string repeat(const std::string& text, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += text;
  return out;
}

class FolderBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    modFolderBrowse::StartFolder.clear();
    std::memset(modFolderBrowse::pathBuffer, 0, sizeof modFolderBrowse::pathBuffer);
  }
  void TearDown() override { modFolderBrowse::StartFolder.clear(); }

  FakeFolderDialog dialog;
};

// Passes everything to the scripted dialog, failing the chosen operations as a broken platform
// would.
class FailingDialog final : public platform::FolderDialog {
 public:
  explicit FailingDialog(FakeFolderDialog& inner) : inner_(inner) {}
  bool failSend = false;
  bool failPath = false;

  platform::ItemHandle browse(platform::BrowseInfo& request) override {
    return inner_.browse(request);
  }
  bool pathFromItem(platform::ItemHandle item, char (&buffer)[platform::MaxPathBytes]) override {
    if (failPath) throw RuntimeError(RuntimeError::InvalidCall, "no path");
    return inner_.pathFromItem(item, buffer);
  }
  void freeItem(platform::ItemHandle item) override { inner_.freeItem(item); }
  platform::MessageParam sendMessage(platform::WindowHandle window, unsigned message,
                                     std::uintptr_t wParam,
                                     platform::MessageParam lParam) override {
    inner_.sendMessage(window, message, wParam, lParam);
    if (failSend) throw std::runtime_error("dialog gone");
    return 0;
  }

 private:
  FakeFolderDialog& inner_;
};

TEST_F(FolderBrowserTest, RequestCarriesOwnerTitleCallbackAndFlagsPlusValidate) {
  dialog.willCancel();
  dialog.willCancel();
  BrowseForFolder(dialog, owner, "Select Folder", 0);
  BrowseForFolder(dialog, owner, "Select Folder", 0x50);
  ASSERT_EQ(dialog.requests.size(), 2u);
  const auto& source = dialog.requests[0];
  EXPECT_EQ(source.hwndOwner, owner);
  EXPECT_EQ(source.pidlRoot, platform::noItem);
  EXPECT_TRUE(source.hasDisplayNameBuffer);
  EXPECT_EQ(source.lpszTitle, "Select Folder");
  EXPECT_EQ(source.ulFlags, 0x20u);
  EXPECT_EQ(source.lpfn, &modFolderBrowse::BrowseCallbackProc);
  EXPECT_EQ(source.lParam, 0);
  EXPECT_EQ(source.iImage, 0);
  EXPECT_EQ(dialog.requests[1].ulFlags, 0x70u);

  // The sum is checked: the largest flags that leave room for Validate pass, larger ones fail
  // before any dialog opens.
  constexpr std::int32_t largest = std::numeric_limits<std::int32_t>::max();
  BrowseForFolder(dialog, owner, "t", largest - 0x20);
  EXPECT_EQ(dialog.requests.back().ulFlags, 0x7FFFFFFFu);
  try {
    BrowseForFolder(dialog, owner, "t", largest - 0x1F);
    FAIL() << "overflow not reported";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), RuntimeError::Overflow);
  }
  EXPECT_EQ(dialog.requests.size(), 3u);
}

TEST_F(FolderBrowserTest, StartFolderIsPreselectedOnlyWhenNotEmpty) {
  dialog.willCancel();
  BrowseForFolder(dialog, owner, "Select Folder", 0);
  EXPECT_TRUE(dialog.sentOf(SetSelection).empty());
  EXPECT_EQ(dialog.openedOn.back(), "");

  modFolderBrowse::StartFolder = "/home/ann/Pictures";
  dialog.willCancel();
  BrowseForFolder(dialog, owner, "Select Folder", 0);
  const auto selections = dialog.sentOf(SetSelection);
  ASSERT_EQ(selections.size(), 1u);
  EXPECT_NE(selections[0].wParam, 0u);
  EXPECT_EQ(selections[0].text, "/home/ann/Pictures");
  EXPECT_EQ(dialog.openedOn.back(), "/home/ann/Pictures");
  EXPECT_EQ(modFolderBrowse::StartFolder, "/home/ann/Pictures") << "only the callers clear it";
}

TEST_F(FolderBrowserTest, ChosenFolderComesBackAndCancelGivesNothingEvenAfterASelection) {
  dialog.script({FakeFolderDialog::select("/srv/a"), FakeFolderDialog::select("/srv/photos"),
                 FakeFolderDialog::ok()});
  EXPECT_EQ(BrowseForFolder(dialog, owner, "Select Folder", 0), "/srv/photos");
  EXPECT_EQ(dialog.liveItems(), 0) << "the chosen item is freed";
  EXPECT_EQ(dialog.freedUnknownItems, 0) << "the dialog's own items are not freed by the callback";

  dialog.script({FakeFolderDialog::select("/srv/photos"), FakeFolderDialog::cancel()});
  EXPECT_EQ(BrowseForFolder(dialog, owner, "Select Folder", 0), "");
  EXPECT_EQ(dialog.liveItems(), 0);

  // Each selection change shows its path as status text and keeps OK enabled.
  const auto status = dialog.sentOf(SetStatusText);
  ASSERT_EQ(status.size(), 3u);
  EXPECT_EQ(status[0].text, "/srv/a");
  EXPECT_EQ(status[2].text, "/srv/photos");
  for (const auto& enable : dialog.sentOf(EnableOk)) EXPECT_EQ(enable.value, 0x10000);

  // The root folder comes back as "/".
  dialog.willChoose("/");
  EXPECT_EQ(BrowseForFolder(dialog, owner, "Select Folder", 0), "/");
}

TEST_F(FolderBrowserTest, PathBufferIsReadUpToItsFirstNul) {
  const std::string longer = "/home/ann/Pictures/holidays/2019";
  dialog.willChoose(longer);
  dialog.willChoose("/tmp");
  EXPECT_EQ(BrowseForFolder(dialog, owner, "Select Folder", 0), longer);
  EXPECT_EQ(BrowseForFolder(dialog, owner, "Select Folder", 0), "/tmp");
  // The buffer is never cleared: the tail of the longer path is still there, unread.
  EXPECT_EQ(std::string(modFolderBrowse::pathBuffer + 5, longer.size() - 5), longer.substr(5));

  // The limit counts characters, not bytes: 259 Cyrillic letters (518 bytes) come back whole.
  const std::string longest = "/" + repeat("\u0436", platform::MaxPath - 2);
  dialog.willChoose(longest);
  EXPECT_EQ(BrowseForFolder(dialog, owner, "Select Folder", 0), longest);
}

TEST_F(FolderBrowserTest, ItemWithoutAPathThatFitsComesBackAsNoFolder) {
  // A path too long for the buffer is never cut to a shorter path, and the path left in the
  // buffer by an earlier choice is never returned for it.
  dialog.willChoose("/srv/photos");
  BrowseForFolder(dialog, owner, "Select Folder", 0);
  // An emoji is two characters.
  dialog.willChoose("/" + repeat("\u0436", platform::MaxPath - 3) + "\U0001F600");
  EXPECT_EQ(BrowseForFolder(dialog, owner, "Select Folder", 0), "");
  EXPECT_EQ(dialog.sentOf(SetStatusText).size(), 1u);
  EXPECT_EQ(dialog.sentOf(EnableOk).back().value, 0)
      << "OK is disabled for a path that cannot come back";

  dialog.script({FakeFolderDialog::selectVirtual(), FakeFolderDialog::ok()});
  EXPECT_EQ(BrowseForFolder(dialog, owner, "Select Folder", 0), "");
  EXPECT_EQ(dialog.sentOf(EnableOk).back().value, 0);
  EXPECT_EQ(dialog.liveItems(), 0);
}

TEST_F(FolderBrowserTest, TypedNameThatIsNoFolderIsAnsweredWithZero) {
  dialog.script({FakeFolderDialog::select("/srv"), FakeFolderDialog::type("/srv/nowhere"),
                 FakeFolderDialog::ok()});
  EXPECT_EQ(BrowseForFolder(dialog, owner, "Select Folder", 0x50), "");
  EXPECT_THAT(dialog.validationAnswers, ::testing::ElementsAre(0));
}

TEST_F(FolderBrowserTest, CallbackSkipsFailingStatementsAndAlwaysAnswersZero) {
  FailingDialog failing(dialog);
  failing.failSend = true;
  modFolderBrowse::StartFolder = "/srv";
  dialog.willChoose("/srv/photos");
  EXPECT_EQ(BrowseForFolder(failing, owner, "Select Folder", 0), "/srv/photos");
  // Status text failed, and Enable OK was still sent after it.
  EXPECT_EQ(dialog.sentOf(SetStatusText).size(), 2u);
  EXPECT_EQ(dialog.sentOf(EnableOk).size(), 2u);

  failing.failSend = false;
  failing.failPath = true;
  dialog.script({FakeFolderDialog::select("/srv/photos"), FakeFolderDialog::cancel()});
  EXPECT_EQ(BrowseForFolder(failing, owner, "Select Folder", 0), "");
  EXPECT_EQ(dialog.sentOf(EnableOk).back().value, 0);

  // Every message is answered with 0, and outside a dialog the callback does nothing.
  const std::size_t sentBefore = dialog.sent.size();
  for (unsigned message : {1u, 2u, 3u, 4u})
    EXPECT_EQ(modFolderBrowse::BrowseCallbackProc(1, message, 0, 0), 0);
  EXPECT_EQ(dialog.sent.size(), sentBefore);
}

TEST_F(FolderBrowserTest, FailuresOfTheDialogReachTheCallerAndTheItemIsStillFreed) {
  dialog.onBrowse = [](const platform::BrowseInfo&) {
    throw RuntimeError(RuntimeError::InvalidCall, "no dialog");
  };
  EXPECT_THROW(BrowseForFolder(dialog, owner, "Select Folder", 0), RuntimeError);

  dialog.onBrowse = nullptr;
  FailingDialog failing(dialog);
  failing.failPath = true;
  dialog.willChoose("/srv/photos");
  EXPECT_THROW(BrowseForFolder(failing, owner, "Select Folder", 0), RuntimeError);
  EXPECT_EQ(dialog.liveItems(), 0);
  EXPECT_EQ(modFolderBrowse::BrowseCallbackProc(1, 1, 0, 0), 0) << "no dialog is left active";
}

}  // namespace
}  // namespace karvelo
