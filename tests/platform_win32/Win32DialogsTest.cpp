// SPDX-License-Identifier: GPL-3.0-or-later
// The folder dialog and the message box on the real Windows API, driven from a second thread the
// way a user would: it finds the dialog window that the test's thread shows and presses a button.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "WindowsTestSupport.h"
#include "folder_browser/modFolderBrowse.h"
#include "platform/win32/Win32FolderDialog.h"
#include "platform/win32/Win32MessageBoxes.h"

using namespace karvelo;
using karvelo::testing::narrow;
using karvelo::testing::TempFolder;

namespace {

// Watches, from a thread of its own, for the first dialog window that the thread which made it
// shows, and hands that window to `act`; stops when it is destroyed, once the dialog's call has
// returned.
class DialogDriver {
 public:
  explicit DialogDriver(std::function<void(HWND)> act)
      : thread_([this, act = std::move(act), owner = ::GetCurrentThreadId()] {
          while (!done_) {
            if (const HWND dialog = shownDialog(owner)) {
              act(dialog);
              return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
          }
        }) {}
  ~DialogDriver() {
    done_ = true;
    thread_.join();
  }
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  static void press(HWND dialog, int button) { ::PostMessageW(dialog, WM_COMMAND, button, 0); }

 private:
  // A named callback: a lambda does not convert to the system's calling convention on 32-bit
  // Windows.
  static BOOL CALLBACK findShownDialog(HWND window, LPARAM result) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (std::wstring_view(name) != L"#32770" || !::IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
  }

  static HWND shownDialog(DWORD thread) {
    HWND found = nullptr;
    ::EnumThreadWindows(thread, findShownDialog, reinterpret_cast<LPARAM>(&found));
    return found;
  }

  std::atomic<bool> done_ = false;
  std::thread thread_;
};

std::string windowText(HWND window) {
  wchar_t text[256] = {};
  ::GetWindowTextW(window, text, 256);
  return narrow(text);
}

class Win32Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    // Windows always has a desktop to show dialogs on; Wine needs an X display.
    const bool wine =
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    wchar_t display[64] = {};
    if (wine && ::GetEnvironmentVariableW(L"DISPLAY", display, 64) == 0)
      GTEST_FAIL() << "no display for the dialogs: run the tests under xvfb-run -a";
  }
  void TearDown() override { modFolderBrowse::StartFolder.clear(); }

  std::string browse(std::int32_t flags) {
    return modFolderBrowse::BrowseForFolder(dialog, 0, "Select Folder", flags);
  }

  TempFolder temp{"karvelo-browse"};
  platform::Win32FolderDialog dialog;
};

}  // namespace

TEST_F(Win32Dialogs, FolderDialogOpensOnTheStartFolderAndReturnsItsPathOrNothing) {
  // 200 Cyrillic letters, in two folders of 100 (the host's file names take at most 255 bytes).
  const std::string hundred = [] {
    std::string text;
    for (int i = 0; i < 100; ++i) text += "\u0436";
    return text;
  }();
  const std::string cyrillic = temp.at(hundred + "\\" + hundred, true);
  const std::string emoji = temp.at("caf\u00E9 \U0001F600", true);

  for (const std::int32_t flags : {0x0, 0x50}) {
    modFolderBrowse::StartFolder = cyrillic;
    {
      const DialogDriver user([](HWND dialog) { DialogDriver::press(dialog, IDOK); });
      EXPECT_EQ(browse(flags), cyrillic) << "flags " << flags;
    }
    modFolderBrowse::StartFolder = emoji;
    {
      const DialogDriver user([](HWND dialog) { DialogDriver::press(dialog, IDOK); });
      EXPECT_EQ(browse(flags), emoji) << "flags " << flags;
    }
    {
      const DialogDriver user([](HWND dialog) { DialogDriver::press(dialog, IDCANCEL); });
      EXPECT_EQ(browse(flags), "") << "flags " << flags;
    }
  }
}

TEST_F(Win32Dialogs, MessageBoxShowsTextAndTitleOverTheOwnerItIsGiven) {
  const HWND owner = ::CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                       nullptr, nullptr, nullptr, nullptr);
  platform::Win32MessageBoxes messages([owner] { return reinterpret_cast<std::uintptr_t>(owner); });
  std::string title;
  HWND ownedBy = nullptr;
  {
    const DialogDriver user([&](HWND box) {
      title = windowText(box);
      ownedBy = ::GetWindow(box, GW_OWNER);
      DialogDriver::press(box, IDOK);
    });
    messages.show("System Information Is Unavailable At This Time", 0, "Karvelo \u00E9");
  }
  EXPECT_EQ(title, "Karvelo \u00E9");
  EXPECT_EQ(ownedBy, owner);
  ::DestroyWindow(owner);
}
