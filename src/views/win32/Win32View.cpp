// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/win32/Win32View.h"

#include <karvelo/Version.h>

#include <memory>
#include <string>

#include "forms/Form.h"
#include "forms/RuntimeError.h"
#include "views/win32/FormWindow.h"
#include "views/win32/Wide.h"
#include "views/win32/WindowsApi.h"

namespace karvelo::views::win32 {

namespace {

constexpr UINT postedTask = WM_APP + 1;

struct PostedTask {
  forms::Form* form;
  std::function<void()> task;
};

}  // namespace

Win32View::Win32View(Ending ending) : ending_(std::move(ending)) {
  registerWindowClass(L"KarveloPostedTasks", postedTasks);
  tasks_ = CreateWindowExW(0, L"KarveloPostedTasks", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(tasks_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32View::~Win32View() {
  for (auto& [form, window] : windows_) window->detach();
  // Tasks still waiting go with the window, unrun.
  SetWindowLongPtrW(tasks_, GWLP_USERDATA, 0);
  MSG message;
  while (PeekMessageW(&message, tasks_, postedTask, postedTask, PM_REMOVE)) {
    delete reinterpret_cast<PostedTask*>(message.lParam);
  }
  DestroyWindow(tasks_);
}

void Win32View::post(forms::Form& form, std::function<void()> task) {
  auto* posted = new PostedTask{&form, std::move(task)};
  if (!PostMessageW(tasks_, postedTask, 0, reinterpret_cast<LPARAM>(posted))) delete posted;
}

LRESULT CALLBACK Win32View::postedTasks(HWND window, UINT message, WPARAM wParam, LPARAM task) {
  if (message != postedTask) return DefWindowProcW(window, message, wParam, task);
  const std::unique_ptr<PostedTask> posted(reinterpret_cast<PostedTask*>(task));
  if (auto* view = reinterpret_cast<Win32View*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
    view->dispatch(*posted->form, posted->task);
  }
  return 0;
}

HWND Win32View::windowOf(const forms::Form& form) const {
  auto it = windows_.find(&form);
  return it == windows_.end() ? nullptr : it->second->hwnd();
}

HWND Win32View::handleOf(const forms::Control& control) const {
  auto it = windows_.find(&control.form());
  return it == windows_.end() ? nullptr : it->second->handleOf(control);
}

void Win32View::show(forms::Form& form) {
  if (ended_ || form.isUnloaded()) return;
  form.setFontMetrics(&appearance_);
  auto it = windows_.find(&form);
  if (it == windows_.end()) {
    it = windows_.emplace(&form, std::make_unique<FormWindow>(*this, form)).first;
  }
  it->second->show();
}

void Win32View::discard(const forms::Form& form) {
  auto it = windows_.find(&form);
  if (it == windows_.end()) return;
  it->second->detach();
  it->second->destroy();
  retired_.push_back(std::move(it->second));
  windows_.erase(it);
}

void Win32View::end() {
  if (ended_) return;
  ended_ = true;
  // The process ends, and its windows with it, without destroying them first: no window or
  // control runs a further step of its own.
  for (auto& [form, window] : windows_) window->detach();
  ending_();
}

void Win32View::dispatch(forms::Form& form, const std::function<void()>& action) {
  if (ended_) return;
  handlerForms_.push_back(&form);
  std::wstring failure;
  try {
    action();
  } catch (const RuntimeError& error) {
    failure = widen("Run-time error '" + std::to_string(error.number()) + "':\n\n" + error.what());
  } catch (const std::exception& error) {
    failure = widen(std::string("Run-time error:\n\n") + error.what());
  }
  handlerForms_.pop_back();
  if (handlerForms_.empty()) releaseLists();
  if (!failure.empty() && !ended_) {
    // A failure that no handler trapped ends the program, after saying what it was.
    MessageBoxW(modalOwner(), failure.c_str(), widen(version::Title).c_str(), MB_OK | MB_ICONERROR);
    end();
  }
}

void Win32View::releaseLists() {
  for (auto& [form, window] : windows_) window->releaseLists();
}

HWND Win32View::modalOwner() {
  releaseLists();
  if (!handlerForms_.empty()) {
    if (HWND owner = windowOf(*handlerForms_.back())) return owner;
  }
  HWND active = GetActiveWindow();
  for (auto& [form, window] : windows_) {
    if (window->hwnd() == active) return active;
  }
  return windows_.empty() ? nullptr : windows_.begin()->second->hwnd();
}

bool Win32View::isDialogMessage(MSG& message) {
  if (!message.hwnd) return false;
  HWND root = GetAncestor(message.hwnd, GA_ROOT);
  for (auto& [form, window] : windows_) {
    if (window->hwnd() == root) return IsDialogMessageW(root, &message) != FALSE;
  }
  return false;
}

void Win32View::dispatchMessage(MSG& message) {
  if (!isDialogMessage(message)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  retired_.clear();
}

void Win32View::run() {
  MSG message;
  while (!ended_ && GetMessageW(&message, nullptr, 0, 0) > 0) dispatchMessage(message);
}

void Win32View::processMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) dispatchMessage(message);
}

}  // namespace karvelo::views::win32
