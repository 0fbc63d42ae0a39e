// SPDX-License-Identifier: GPL-3.0-or-later
// How fast the Windows view is, the peer of bench_startup for the Qt view: from process start to
// the first painted main window, and from a press of Refresh on a folder of 32767 pictures to
// the painted list, each beside a peer measured in the same run (a bare window with one label; a
// sorted system list box filled with the same names).
//
//   bench_startup_win32.exe      runs everything and prints the figures (under Wine: wine64 ...)

#include "views/win32/WindowsApi.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "fakes/FakeServices.h"
#include "common/ListedFolder.h"
#include "main_window/Form1.h"
#include "views/win32/Wide.h"
#include "views/win32/Win32View.h"

namespace {

using namespace karvelo;
using bench::ListedFolder;
using bench::pictureNames;

constexpr int Entries = 32767;
constexpr int Runs = 7;

// A clock that two processes share, in milliseconds.
double nowMs() {
  FILETIME now{};
  GetSystemTimePreciseAsFileTime(&now);
  return static_cast<double>((static_cast<unsigned long long>(now.dwHighDateTime) << 32) |
                             now.dwLowDateTime) /
         1e4;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Takes messages until none is left, paints included: the window is on the screen.
void drain() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Child: shows one window, prints the clock when it has been painted, and ends.
int showAndReport(const std::wstring& kind) {
  const auto report = [] {
    std::printf("%.3f\n", nowMs());
    std::fflush(stdout);
    ExitProcess(0);
  };
  if (kind == L"bare") {
    HWND window = CreateWindowExW(0, L"STATIC", L"Karvelo", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 602, 730, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    drain();
  } else {
    views::win32::Win32View view;
    fakes::FakeServices fakes;
    main_window::Form1 form(fakes.services({.application = &view}));
    form.load();
    view.show(form);
    drain();
    report();  // as the program does, the process ends without destroying a window
  }
  report();
  return 0;
}

// Parent: starts the child Runs times and returns the median time to its first paint.
double startupMs(const std::wstring& kind) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::vector<double> times;
  for (int run = 0; run < Runs; ++run) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    std::wstring line = L"\"" + std::wstring(self) + L"\" --child " + kind;
    PROCESS_INFORMATION process{};
    const double start = nowMs();
    if (!CreateProcessW(self, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
      return -1;
    }
    CloseHandle(writeEnd);
    std::string text;
    char buffer[64];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
      text.append(buffer, got);
    CloseHandle(readEnd);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (text.empty()) return -1;
    times.push_back(std::stod(text) - start);
  }
  return median(times);
}

struct ListFigures {
  double view = 0;     // Refresh on the shown window until List1 is painted
  double listBox = 0;  // a sorted system list box filled with the same names and painted
  double moveAll = 0;  // Select All, then "=>", until both lists are painted
};

ListFigures listTimes(const std::vector<std::string>& names) {
  std::vector<double> view, peer, move;
  for (int run = 0; run < Runs; ++run) {
    views::win32::Win32View win32([] {});
    fakes::FakeServices fakes;
    ListedFolder files(names);
    main_window::Form1 form(fakes.services({.files = &files, .application = &win32}));
    form.load();
    form.lblPicFolder.setCaption("C:\\pictures");
    form.cmdRefresh.setEnabled(true);
    win32.show(form);
    drain();
    HWND list1 = win32.handleOf(form.List1);
    HWND list2 = win32.handleOf(form.List2);

    double start = nowMs();
    SendMessageW(win32.handleOf(form.cmdRefresh), BM_CLICK, 0, 0);
    UpdateWindow(list1);
    view.push_back(nowMs() - start);

    start = nowMs();
    SendMessageW(win32.handleOf(form.SelectAll), BM_CLICK, 0, 0);
    SendMessageW(win32.handleOf(form.cmdAdd), BM_CLICK, 0, 0);
    UpdateWindow(list1);
    UpdateWindow(list2);
    move.push_back(nowMs() - start);
    win32.end();

    HWND box = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"LISTBOX", L"",
        WS_OVERLAPPEDWINDOW | WS_VISIBLE | LBS_SORT | LBS_HASSTRINGS | LBS_EXTENDEDSEL | WS_VSCROLL,
        0, 0, 229, 186, nullptr, nullptr, nullptr, nullptr);
    drain();
    start = nowMs();
    SendMessageW(box, WM_SETREDRAW, FALSE, 0);
    for (const std::string& name : names) {
      SendMessageW(box, LB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(views::win32::widen(name).c_str()));
    }
    SendMessageW(box, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    peer.push_back(nowMs() - start);
    DestroyWindow(box);
  }
  return {median(view), median(peer), median(move)};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wcscmp(argv[1], L"--child") == 0) return showAndReport(argv[2]);

  const double karvelo = startupMs(L"karvelo");
  const double bare = startupMs(L"bare");
  std::printf("Win32 view, median of %d runs\n", Runs);
  std::printf("start to first painted window: karvelo %.1f ms, bare window %.1f ms (ratio %.2f)\n",
              karvelo, bare, karvelo / bare);
  const ListFigures lists = listTimes(pictureNames());
  std::printf(
      "show %d entries (Refresh to painted List1): %.1f ms; sorted system list box %.1f ms "
      "(ratio %.2f)\n",
      Entries, lists.view, lists.listBox, lists.view / lists.listBox);
  std::printf("move all %d entries (Select All, =>, both lists painted): %.1f ms\n", Entries,
              lists.moveAll);
  return 0;
}
