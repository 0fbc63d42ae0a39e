// SPDX-License-Identifier: GPL-3.0-or-later
// Resize on the main window with the real Windows services and view: the stand-in converter in
// the test's program folder records the command line of every start, and the real converter
// beside karvelo.exe resizes real pictures. And karvelo.exe itself: it opens its window and its
// close box ends it.

// Before the system's header, whose macro "near" would rewrite one of its names.
#include "converter/TestPictures.h"
#include "views/win32/WindowsApi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/Win32Desktop.h"
#include "platform/win32/Win32RunOutcomes.h"
#include "common/ConverterLog.h"
#include "fakes/FakeServices.h"
#include "main_window/Form1.h"
#include "views/win32/Wide.h"

namespace karvelo {
namespace {

namespace fs = std::filesystem;
using views::win32::narrow;

// A folder of its own under the temporary folder, removed afterwards.
class Win32EndToEnd : public ::testing::Test {
 protected:
  Win32EndToEnd() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    folder = fs::path(temp) / (L"karvelo e2e " + std::to_wstring(GetCurrentProcessId()));
    fs::create_directories(folder / L"my pictures");
    fs::create_directories(folder / L"records");
    SetEnvironmentVariableW(L"KARVELO_RECORD", (folder / L"records").c_str());
  }
  ~Win32EndToEnd() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  // Clicks through a Resize of every picture to 480 pixels high on a shown main window.
  static void resizeEverything(views::win32::Win32View& view, main_window::Form1& form,
                               const std::string& source) {
    chooseEverything(view, form, source);
    SendMessageW(view.handleOf(form.cmdResize), BM_CLICK, 0, 0);
  }
  // The same, up to Resize.
  static void chooseEverything(views::win32::Win32View& view, main_window::Form1& form,
                               const std::string& source) {
    form.lblPicFolder.setCaption(source);
    form.cmdRefresh.setEnabled(true);
    for (const forms::Control* button :
         {static_cast<forms::Control*>(&form.cmdRefresh),
          static_cast<forms::Control*>(&form.SelectAll), static_cast<forms::Control*>(&form.cmdAdd),
          static_cast<forms::Control*>(&form.opt2)}) {
      SendMessageW(view.handleOf(*button), BM_CLICK, 0, 0);
    }
    SetWindowTextW(view.handleOf(form.txtHeight), L"480");
  }

  // The command lines recorded once `count` converters have written theirs, sorted.
  std::vector<std::string> records(std::size_t count) {
    std::vector<std::string> lines;
    for (int wait = 0; wait < 200 && lines.size() < count; ++wait) {
      Sleep(100);
      lines.clear();
      for (const auto& file : fs::directory_iterator(folder / L"records")) {
        std::ifstream in(file.path(), std::ios::binary);
        lines.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
  }

  fs::path folder;
};

TEST_F(Win32EndToEnd, ResizeStartsTheConverterWithTheExactLineForEveryChosenPicture) {
  const fs::path source = folder / L"my pictures";
  for (const wchar_t* name : {L"beach.jpg", L"Alps 2.png", L"caf\u00e9.gif"}) {
    std::ofstream(source / name) << "picture";
  }
  const std::string sourceText = narrow(source.wstring());

  // The lines the window builds, as the fake process start records them...
  std::vector<std::string> expected;
  {
    views::win32::Win32View view([] {});
    fakes::FakeServices fakes;
    platform::Win32FileSystem files;
    platform::Win32Processes real;
    fakes.processes.folder = real.programFolder();
    main_window::Form1 form(fakes.services({.files = &files, .application = &view}));
    form.load();
    view.show(form);
    resizeEverything(view, form, sourceText);
    for (const auto& start : fakes.processes.starts) expected.push_back(start.commandLine);
    std::sort(expected.begin(), expected.end());
    view.end();
  }
  ASSERT_EQ(expected.size(), 3u);
  EXPECT_EQ(expected[0], platform::Win32Processes().programFolder() + "\\multiconv.exe /s:\"" +
                             sourceText + "\\Alps 2.png\" /d:\"" + sourceText +
                             "\" /m:hr /h:480 /pre:t ");

  // ...reach the converter character for character through the real services.
  app::Win32Desktop desktop([] {});
  main_window::Form1 form(desktop.services());
  form.load();
  desktop.view.show(form);
  resizeEverything(desktop.view, form, sourceText);
  EXPECT_EQ(records(3), expected);
  EXPECT_EQ(form.MousePointer(), forms::pointer::Default);
  desktop.view.end();
}

// The real converter, built beside karvelo.exe, as the program's own folder holds it.
class ConverterBesideKarvelo : public platform::Processes {
 public:
  void start(const std::string& commandLine, int windowStyle) override {
    real_.start(commandLine, windowStyle);
  }
  std::string programFolder() const override {
    return (fs::path(real_.programFolder()).parent_path() / "bin").string();
  }

 private:
  platform::Win32Processes real_;
};

// A 24-bit bitmap of the given size, bottom-up rows padded to four bytes, or its size read back.
std::string bitmap(std::uint32_t width, std::uint32_t height) {
  const std::uint32_t row = (width * 3 + 3) / 4 * 4;
  std::string file = "BM";
  auto put = [&](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file += static_cast<char>(value >> (8 * i));
  };
  put(54 + row * height, 4), put(0, 4), put(54, 4), put(40, 4), put(width, 4), put(height, 4);
  put(1, 2), put(24, 2), put(0, 4), put(row * height, 4), put(2835, 4), put(2835, 4), put(0, 8);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < row; ++x) file += static_cast<char>((x + y) * 7);
  }
  return file;
}
std::pair<std::int32_t, std::int32_t> bitmapSize(const std::string& file) {
  auto at = [&](std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(file[offset + i]);
    return static_cast<std::int32_t>(value);
  };
  return file.size() < 26 || !file.starts_with("BM") ? std::pair{0, 0}
                                                     : std::pair{at(18), std::abs(at(22))};
}

TEST_F(Win32EndToEnd, ResizeMakesEveryPictureThroughTheConverterBesideTheProgram) {
  const fs::path source = folder / L"my pictures";
  const std::vector<std::wstring> names = {L"beach.bmp", L"Alps 2.bmp", L"caf\u00e9 & co.bmp"};
  for (const std::wstring& name : names) {
    std::ofstream(source / name, std::ios::binary) << bitmap(64, 48);
  }
  ConverterBesideKarvelo processes;
  platform::Win32FileSystem files;
  fakes::FakeServices fakes;
  {
    views::win32::Win32View view([] {});
    main_window::Form1 form(
        fakes.services({.processes = &processes, .files = &files, .application = &view}));
    form.load();
    view.show(form);
    resizeEverything(view, form, narrow(source.wstring()));
    view.end();
  }
  // Each result appears under its name only once it is complete; 480 rows high, in proportion.
  for (const std::wstring& name : names) {
    const fs::path result = source / (L"t" + name);
    for (int wait = 0; wait < 300 && !fs::exists(result); ++wait) Sleep(100);
    std::ifstream in(result, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(bitmapSize(bytes), (std::pair<std::int32_t, std::int32_t>{640, 480}))
        << narrow(name);
  }
}

TEST_F(Win32EndToEnd, TheEndOfARunNamesEachPictureThatFailedWithItsReason) {
  using namespace converter;
  using namespace converter::testing;
  const fs::path source = folder / L"my pictures";
  const fs::path dest = folder / L"small";
  fs::create_directories(dest);
  writePicturesThatPartlyFail(source, dest);
  const std::string sourceText = narrow(source.wstring());
  SetEnvironmentVariableW(L"MULTICONV_TEST_KILL_SOURCE",
                          (source.wstring() + L"\\killed.jpg").c_str());

  const std::string converterFolder = ConverterBesideKarvelo().programFolder();
  platform::Win32Processes starter(converterFolder);
  platform::Win32RunOutcomes outcomes(starter);
  platform::Win32FileSystem files;
  fakes::FakeServices fakes;
  views::win32::Win32View view([] {});
  main_window::Form1 form(fakes.services({.processes = &starter,
                                          .files = &files,
                                          .application = &view,
                                          .outcomes = &outcomes}));
  form.load();
  view.show(form);
  // Every file chosen, to 480 pixels high, into a destination of its own.
  const auto pressResize = [&] {
    form.lblPicFolderDest.setCaption(narrow(dest.wstring()));
    SendMessageW(view.handleOf(form.cmdResize), BM_CLICK, 0, 0);
  };
  // The window's messages, until the run's end has shown its message or the time is up.
  const auto pumpUntilShown = [&](std::size_t count, int tenths) {
    for (int wait = 0; wait < tenths && fakes.messages.shown.size() < count; ++wait) {
      view.processMessages();
      Sleep(100);
    }
  };
  chooseEverything(view, form, sourceText);
  pressResize();
  pumpUntilShown(1, 600);
  SetEnvironmentVariableW(L"MULTICONV_TEST_KILL_SOURCE", nullptr);
  ASSERT_EQ(fakes.messages.shown.size(), 1u);
  EXPECT_EQ(fakes.messages.shown[0].title, "Karvelo");
  EXPECT_EQ(fakes.messages.shown[0].style, 48);
  EXPECT_EQ(fakes.messages.shown[0].text, partlyFailedMessage(common::converterLogPath()));
  // With KARVELO_SCREENSHOTS set, the message as the user sees it, over the main window, for
  // eight seconds: long enough for a picture of the screen to be taken from outside.
  if (const char* shots = std::getenv("KARVELO_SCREENSHOTS"); shots && *shots) {
    std::thread closer([] {
      Sleep(8000);
      if (HWND box = FindWindowW(L"#32770", L"Karvelo")) PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    const std::function<std::uintptr_t()> owner = [&] {
      return reinterpret_cast<std::uintptr_t>(view.windowOf(form));
    };
    platform::Win32MessageBoxes(owner).show(fakes.messages.shown[0].text, 48, "Karvelo");
    closer.join();
  }

  // The good pictures alone, again: their run ends without a word.
  while (form.List2.ListCount() > 3) form.List2.RemoveItem(form.List2.ListCount() - 1);
  fs::remove_all(dest);
  fs::create_directories(dest);
  pressResize();
  for (int wait = 0; wait < 300 && !fs::exists(dest / L"tc.jpg"); ++wait) Sleep(100);
  pumpUntilShown(2, 30);
  EXPECT_TRUE(fs::exists(dest / L"tc.jpg"));
  EXPECT_EQ(fakes.messages.shown.size(), 1u);
  view.end();
}

// A visible window titled "Karvelo" of the given process. The callback is a named function: a
// lambda does not convert to the system's calling convention on 32-bit Windows.
struct ShownWindowSearch {
  DWORD process;
  HWND found;
};
BOOL CALLBACK findShownMainWindow(HWND hwnd, LPARAM data) {
  auto* search = reinterpret_cast<ShownWindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == search->process && IsWindowVisible(hwnd) &&
      views::win32::windowText(hwnd) == "Karvelo") {
    search->found = hwnd;
  }
  return search->found ? FALSE : TRUE;
}

TEST_F(Win32EndToEnd, KarveloExeOpensItsWindowAndItsCloseBoxEndsIt) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const fs::path program = fs::path(self).parent_path().parent_path() / L"bin" / L"karvelo.exe";
  ASSERT_TRUE(fs::exists(program)) << program.string();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring line = L"\"" + program.wstring() + L"\"";
  ASSERT_TRUE(CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process));
  // Its own main window once shown, not one that another test shows on the same display.
  ShownWindowSearch search{process.dwProcessId, nullptr};
  for (int wait = 0; wait < 200 && !search.found; ++wait) {
    Sleep(100);
    EnumWindows(findShownMainWindow, reinterpret_cast<LPARAM>(&search));
  }
  const HWND window = search.found;
  if (!window) TerminateProcess(process.hProcess, 1);
  ASSERT_NE(window, nullptr) << "no main window within 20 s";
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 596);
  PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    ADD_FAILURE() << "karvelo.exe did not end on its close box";
  }
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  EXPECT_EQ(status, 0u);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
}

}  // namespace
}  // namespace karvelo
