// Resize on the main window with the real Windows services and view: the stand-in converter in
// the test's program folder records the command line of every start. And karvelo.exe itself:
// it opens its window and its close box ends it.

#include "views/win32/WindowsApi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/Win32Desktop.h"
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
    form.lblPicFolder.setCaption(source);
    form.cmdRefresh.setEnabled(true);
    for (const forms::Control* button :
         {static_cast<forms::Control*>(&form.cmdRefresh),
          static_cast<forms::Control*>(&form.SelectAll), static_cast<forms::Control*>(&form.cmdAdd),
          static_cast<forms::Control*>(&form.opt2)}) {
      SendMessageW(view.handleOf(*button), BM_CLICK, 0, 0);
    }
    SetWindowTextW(view.handleOf(form.txtHeight), L"480");
    SendMessageW(view.handleOf(form.cmdResize), BM_CLICK, 0, 0);
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
  struct Search {
    DWORD process;
    HWND found;
  } search{process.dwProcessId, nullptr};
  for (int wait = 0; wait < 200 && !search.found; ++wait) {
    Sleep(100);
    EnumWindows(
        [](HWND hwnd, LPARAM data) {
          auto* s = reinterpret_cast<Search*>(data);
          DWORD owner = 0;
          GetWindowThreadProcessId(hwnd, &owner);
          if (owner == s->process && IsWindowVisible(hwnd) &&
              views::win32::windowText(hwnd) == "Karvelo") {
            s->found = hwnd;
          }
          return s->found ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
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
