// SPDX-License-Identifier: GPL-3.0-or-later
// The main window and the About window as native windows: fake converter, folders and message
// boxes, the real view, run under Wine on a display.

#include "views/win32/WindowsApi.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "fakes/FakeServices.h"
#include "forms/Line.h"
#include "main_window/Form1.h"
#include "views/win32/Wide.h"
#include "views/win32/Win32View.h"

namespace karvelo::views::win32 {
namespace {

// Left, top, width and height in pixels.
struct Place {
  long left, top, width, height;
  bool operator==(const Place&) const = default;
  friend std::ostream& operator<<(std::ostream& out, const Place& p) {
    return out << p.left << "," << p.top << " " << p.width << "x" << p.height;
  }
};

// Where a child window stands in its top-level window's client area.
Place placeOf(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetAncestor(child, GA_ROOT), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Message boxes that note the window owning each, as the view names it at the time.
class OwnedMessageBoxes final : public platform::MessageBoxes {
 public:
  explicit OwnedMessageBoxes(Win32View& view) : view_(view) {}
  void show(const std::string& text, int, const std::string& title) override {
    shown.push_back({title + ": " + text, view_.modalOwner()});
  }
  struct Shown {
    std::string text;
    HWND owner;
  };
  std::vector<Shown> shown;

 private:
  Win32View& view_;
};

class Form1WindowTest : public ::testing::Test {
 protected:
  Form1WindowTest() {
    form.decimalSeparator = '.';
    form.load();
    view.show(form);
    view.processMessages();
    window = view.windowOf(form);
  }
  ~Form1WindowTest() override { view.end(); }

  HWND handle(const forms::Control& control) const { return view.handleOf(control); }
  void click(const forms::Control& control) {
    SendMessageW(handle(control), BM_CLICK, 0, 0);
    view.processMessages();
  }
  void chooseMenu(int menu, int entry) {
    const UINT id = GetMenuItemID(GetSubMenu(GetMenu(window), menu), entry);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    view.processMessages();
  }
  // A key as the user presses it on the focused window, through the message loop.
  void press(UINT key, bool alt = false) {
    HWND focus = GetFocus();
    const UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
    PostMessageW(focus, down, key, alt ? (1 << 29) : 0);
    if (alt) PostMessageW(focus, WM_SYSCHAR, key, 1 << 29);
    view.processMessages();
  }
  std::vector<std::string> listed(const forms::ListBox& list) {
    std::vector<std::string> texts;
    const int n = static_cast<int>(SendMessageW(handle(list), LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      wchar_t text[64] = {};
      SendMessageW(handle(list), LB_GETTEXT, static_cast<WPARAM>(i),
                   reinterpret_cast<LPARAM>(text));
      texts.push_back(narrow(text));
    }
    return texts;
  }

  int ends = 0;
  Win32View view{[this] { ++ends; }};
  fakes::FakeServices fakes;
  OwnedMessageBoxes messages{view};
  main_window::Form1 form{fakes.services({.messages = &messages, .application = &view})};
  HWND window = nullptr;
};

TEST_F(Form1WindowTest, OpensCentredAtItsLaidOutSizeWithEveryControlInPlace) {
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(windowText(window), "Karvelo");
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 596);  // 8940 x 10200 twips at 96 dpi
  EXPECT_EQ(client.bottom, 680);
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_NE(style & WS_SYSMENU, 0);
  EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_BIG, 0), 0);
  RECT outer{};
  GetWindowRect(window, &outer);
  EXPECT_NEAR(outer.left + outer.right, GetSystemMetrics(SM_CXSCREEN), 1);
  EXPECT_EQ(GetMenuItemCount(GetMenu(window)), 3);

  // Every window at its laid-out place: its containers' places and 2-pixel edges added up,
  // each rounded to the pixel. Two by hand: Exit on the window, "=>" inside Picture1.
  EXPECT_EQ(placeOf(handle(form.cmdExit)), (Place{234, 616, 119, 27}));
  EXPECT_EQ(placeOf(handle(form.cmdAdd)), (Place{18 + 2 + 254, 28 + 2 + 140, 35, 23}));
  const auto px = [](int twips) { return (twips + 7) / 15; };
  for (const forms::Control* control : form.controls()) {
    HWND child = handle(*control);
    if (!child) continue;
    SCOPED_TRACE(control->name());
    int left = px(control->Left());
    int top = px(control->Top());
    for (const forms::Control* c = control->container(); c; c = c->container()) {
      const int edge = static_cast<const forms::PictureBox*>(c)->bordered() ? 2 : 0;
      left += px(c->Left()) + edge;
      top += px(c->Top()) + edge;
    }
    Place laidOut{left, top, px(control->Width()), px(control->Height())};
    // A drop-down's closed height is the one the system gives its font.
    if (control == &form.cmbRatio) laidOut.height = placeOf(child).height;
    EXPECT_EQ(placeOf(child), laidOut);
  }

  // Tab walks the layout's tab positions across the panels, from Exit; a disabled button and
  // labels are passed over, and the three unset option buttons are stops of their own.
  const std::vector<const forms::Control*> chain = {
      &form.cmdExit,   &form.chkSource,   &form.Command2,    &form.DeselectAll2, &form.SelectAll2,
      &form.cmdRemove, &form.cmdAdd,      &form.deselectall, &form.SelectAll,    &form.List2,
      &form.Command1,  &form.List1,       &form.txtPrefix,   &form.cmbRatio,     &form.chkOverwrite,
      &form.cmdResize, &form.chkMaintain, &form.opt2,        &form.opt1,         &form.opt3,
      &form.txtHeight, &form.txtWidth,    &form.txtSuffix,   &form.cmdExit};
  EXPECT_EQ(GetFocus(), handle(form.cmdExit)) << "the first focus";
  for (std::size_t i = 1; i < chain.size(); ++i) {
    HWND next = GetNextDlgTabItem(window, handle(*chain[i - 1]), FALSE);
    EXPECT_EQ(next, handle(*chain[i])) << "after " << chain[i - 1]->name();
  }
}

TEST_F(Form1WindowTest, ClicksTypingAndListSelectionReachTheModelAndItsHandlers) {
  click(form.opt2);
  EXPECT_TRUE(form.opt2.Value());
  click(form.opt3);
  EXPECT_FALSE(form.opt2.Value());
  EXPECT_EQ(SendMessageW(handle(form.opt2), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  for (wchar_t c : std::wstring(L"480")) SendMessageW(handle(form.txtWidth), WM_CHAR, c, 1);
  EXPECT_EQ(form.txtWidth.Text(), "480");
  // Choosing the second ratio in the drop-down's list, as its window reports it.
  HWND ratio = handle(form.cmbRatio);
  SendMessageW(ratio, CB_SETCURSEL, 1, 0);
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(ratio), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(ratio));
  EXPECT_EQ(form.cmbRatio.ListIndex(), 1);
  EXPECT_EQ(form.cmbRatio.Text(), "40 %");
  EXPECT_EQ(SendMessageW(ratio, CB_GETCURSEL, 0, 0), 1) << "the choice stays in the list";
  click(form.chkOverwrite);
  EXPECT_FALSE(IsWindowEnabled(handle(form.txtPrefix))) << "its handler disabled the prefix";

  for (const char* name : {"b.jpg", "A.jpg", "d.jpg", "c.jpg"}) form.List1.AddItem(name);
  EXPECT_EQ(listed(form.List1), (std::vector<std::string>{"A.jpg", "b.jpg", "c.jpg", "d.jpg"}));
  // Ctrl+clicks on the second and fourth entries.
  HWND list1 = handle(form.List1);
  for (int row : {1, 3}) {
    RECT item{};
    SendMessageW(list1, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM(item.left + 5, (item.top + item.bottom) / 2);
    SendMessageW(list1, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, at);
    SendMessageW(list1, WM_LBUTTONUP, MK_CONTROL, at);
  }
  view.processMessages();
  EXPECT_FALSE(form.List1.Selected(0));
  EXPECT_TRUE(form.List1.Selected(1));
  EXPECT_TRUE(form.List1.Selected(3));
  click(form.cmdAdd);
  EXPECT_EQ(listed(form.List1), (std::vector<std::string>{"A.jpg", "c.jpg"}));
  EXPECT_EQ(listed(form.List2), (std::vector<std::string>{"b.jpg", "d.jpg"}));
  EXPECT_EQ(SendMessageW(handle(form.List2), LB_GETSELCOUNT, 0, 0), 0);

  click(form.SelectAll);
  EXPECT_EQ(SendMessageW(list1, LB_GETSELCOUNT, 0, 0), 2) << "Select All selects every entry";
}

TEST_F(Form1WindowTest, ResizeStartsOneLinePerFileUnderTheHourglassAndTheBarShowsItsShare) {
  fakes.files.folders["C:\\pics"] = {"b.jpg", "a b.jpg"};
  form.lblPicFolder.setCaption("C:\\pics");
  form.lblPicFolderDest.setCaption("C:\\out");
  form.cmdRefresh.setEnabled(true);
  click(form.cmdRefresh);
  click(form.SelectAll);
  click(form.cmdAdd);
  click(form.opt1);
  std::vector<HCURSOR> cursors;
  fakes.processes.onStart = [&](const std::string&) { cursors.push_back(GetCursor()); };
  fakes.processes.failAtStart = 2;  // the second start fails: the bar stays at one half
  click(form.cmdResize);

  ASSERT_EQ(fakes.processes.starts.size(), 1u);
  EXPECT_EQ(
      fakes.processes.starts[0].commandLine,
      "C:\\Tools\\multiconv.exe /s:\"C:\\pics\\a b.jpg\" /d:\"C:\\pics\" /m:r /r:0.25 /pre:t ");
  POINT mouse{};
  GetCursorPos(&mouse);
  if (GetAncestor(WindowFromPoint(mouse), GA_ROOT) == window) {
    EXPECT_EQ(cursors[0], LoadCursorW(nullptr, IDC_WAIT));
  }
  EXPECT_EQ(form.MousePointer(), forms::pointer::Default);

  // The bar as drawn on the screen: the left half filled, the digits in the middle, the
  // percent sign after them on the empty half.
  HWND bar = handle(form.picProgress);
  RECT inner{};
  GetClientRect(bar, &inner);
  EXPECT_EQ(placeOf(handle(form.picProgressSlide)).width, (form.picProgressSlide.Width() + 7) / 15);
  HDC screen = GetDC(bar);
  const COLORREF fill = GetSysColor(COLOR_HIGHLIGHT);
  const COLORREF empty = GetSysColor(COLOR_HIGHLIGHTTEXT);
  EXPECT_EQ(GetPixel(screen, 6, inner.bottom - 4), fill);
  EXPECT_EQ(GetPixel(screen, inner.right - 6, inner.bottom - 4), empty);
  int digitsOnEmpty = 0;
  for (int x = inner.right / 2 + 2; x < inner.right - 2; ++x) {
    for (int y = 2; y < inner.bottom - 2; ++y) digitsOnEmpty += GetPixel(screen, x, y) == fill;
  }
  ReleaseDC(bar, screen);
  EXPECT_GT(digitsOnEmpty, 10);
}

TEST_F(Form1WindowTest, AnEntryErrorIsOwnedByTheMainWindow) {
  click(form.cmdResize);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text.substr(0, 13), "Entry Error: ");
  EXPECT_EQ(messages.shown[0].owner, window);
}

// A named callback: a lambda does not convert to the system's calling convention on 32-bit
// Windows.
BOOL CALLBACK countShownAbouts(HWND hwnd, LPARAM count) {
  *reinterpret_cast<int*>(count) += windowText(hwnd) == "About Karvelo" && IsWindowVisible(hwnd);
  return TRUE;
}

TEST_F(Form1WindowTest, AboutOpensOnceBesideAUsableMainWindowWithTheHandOverItsLinks) {
  chooseMenu(2, 2);
  chooseMenu(2, 2);
  ASSERT_NE(form.aboutWindow(), nullptr);
  HWND about = view.windowOf(*form.aboutWindow());
  ASSERT_NE(about, nullptr);
  int abouts = 0;
  EnumThreadWindows(GetCurrentThreadId(), countShownAbouts, reinterpret_cast<LPARAM>(&abouts));
  EXPECT_EQ(abouts, 1);
  EXPECT_EQ(GetWindow(about, GW_OWNER), nullptr) << "no owner";
  EXPECT_TRUE(IsWindowEnabled(window)) << "no mode";

  about::frmAbout& frm = *form.aboutWindow();
  const HCURSOR hand = LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(3));
  ASSERT_NE(hand, nullptr);
  for (const forms::Control* link :
       {static_cast<forms::Control*>(&frm.Label1), static_cast<forms::Control*>(&frm.lblDisclaimer),
        static_cast<forms::Control*>(&frm.Picture1)}) {
    SetCursor(nullptr);
    SendMessageW(about, WM_SETCURSOR, reinterpret_cast<WPARAM>(view.handleOf(*link)),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), hand) << link->name();
  }
  SendMessageW(view.handleOf(frm.Label1), WM_LBUTTONDOWN, MK_LBUTTON, 0);
  ASSERT_EQ(fakes.shell.calls.size(), 1u);
  EXPECT_EQ(fakes.shell.calls[0].owner, reinterpret_cast<std::uintptr_t>(about));

  SendMessageW(view.handleOf(frm.cmdOK), BM_CLICK, 0, 0);
  view.processMessages();
  EXPECT_FALSE(IsWindow(about)) << "OK unloads it";
  chooseMenu(2, 2);
  EXPECT_NE(view.windowOf(*form.aboutWindow()), nullptr) << "and the next About makes it anew";
}

TEST_F(Form1WindowTest, AnAmpersandInAFolderNameIsACharacter) {
  form.lblPicFolder.setCaption("C:\\R&D");
  form.lblPicFolderDest.setCaption("C:\\a&&b");
  for (const forms::Label* label : {&form.lblPicFolder, &form.lblPicFolderDest}) {
    EXPECT_NE(GetWindowLongW(handle(*label), GWL_STYLE) & SS_NOPREFIX, 0) << label->name();
    EXPECT_EQ(windowText(handle(*label)), label->Caption());
  }
  EXPECT_EQ(GetWindowLongW(handle(form.Label1), GWL_STYLE) & SS_NOPREFIX, 0);
}

TEST_F(Form1WindowTest, KeysWorkAsInADialogAndExitEndsWithoutDestroyingTheWindow) {
  fakes.files.folders["C:\\pics"] = {"a.jpg"};
  form.lblPicFolder.setCaption("C:\\pics");
  form.cmdRefresh.setEnabled(true);
  press('R', true);
  EXPECT_EQ(form.List1.ListCount(), 1) << "Alt+R pressed Refresh";
  SetFocus(handle(form.cmdExit));
  press(VK_RETURN);
  EXPECT_EQ(ends, 1) << "Enter on the focused Exit ends the program";
  EXPECT_TRUE(IsWindow(window)) << "without destroying its window";
  form.List1.setSelected(0, true);
  SendMessageW(handle(form.cmdAdd), BM_CLICK, 0, 0);
  EXPECT_EQ(form.List2.ListCount(), 0) << "no handler runs after the end";
}

}  // namespace
}  // namespace karvelo::views::win32
