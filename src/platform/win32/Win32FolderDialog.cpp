// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/Win32FolderDialog.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <exception>

#include "common/win32/WideText.h"

namespace karvelo::platform {

using common::narrow;
using common::widen;

namespace {

// What the shell's callback needs to reach the request's own callback.
struct CallbackContext {
  BrowseCallback callback;
  MessageParam data;
  std::exception_ptr failure;
};

// The shell calls this with the calling convention of its callbacks (CALLBACK, which is stdcall
// on 32-bit Windows) and passes the request's lParam, here the context, as the last argument.
int CALLBACK forwardToCallback(HWND dialog, UINT message, LPARAM lParam, LPARAM contextParam) {
  auto& context = *reinterpret_cast<CallbackContext*>(contextParam);
  if (context.failure) return 0;
  const auto window = reinterpret_cast<WindowHandle>(dialog);
  try {
    if (message == BFFM_VALIDATEFAILEDW) {
      const std::string typed = narrow(lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"");
      return context.callback(window, bffm::ValidateFailed,
                              reinterpret_cast<MessageParam>(typed.c_str()), context.data);
    }
    return context.callback(window, message, lParam, context.data);
  } catch (...) {
    // No exception may pass through the shell's frames.
    context.failure = std::current_exception();
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
}

std::wstring wideText(MessageParam utf8) {
  return utf8 != 0 ? widen(reinterpret_cast<const char*>(utf8)) : std::wstring();
}

}  // namespace

ItemHandle Win32FolderDialog::browse(BrowseInfo& request) {
  const std::wstring title = widen(request.lpszTitle);
  wchar_t displayName[MAX_PATH] = {};
  CallbackContext context{request.lpfn, request.lParam, nullptr};
  BROWSEINFOW info{};
  info.hwndOwner = reinterpret_cast<HWND>(request.hwndOwner);
  info.pidlRoot = reinterpret_cast<PCIDLIST_ABSOLUTE>(request.pidlRoot);
  info.pszDisplayName = displayName;
  info.lpszTitle = title.c_str();
  info.ulFlags = request.ulFlags;
  info.lpfn = request.lpfn != nullptr ? &forwardToCallback : nullptr;
  info.lParam = reinterpret_cast<LPARAM>(&context);
  info.iImage = request.iImage;

  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const PIDLIST_ABSOLUTE item = ::SHBrowseForFolderW(&info);
  if (SUCCEEDED(com)) ::CoUninitialize();
  if (context.failure) {
    ::CoTaskMemFree(item);
    std::rethrow_exception(context.failure);
  }
  if (item != nullptr && request.pszDisplayName != nullptr) {
    std::string name = narrow(displayName);
    name.resize(std::min(name.size(), MaxPathBytes - 1));
    std::memcpy(request.pszDisplayName, name.c_str(), name.size() + 1);
  }
  request.iImage = info.iImage;
  return reinterpret_cast<ItemHandle>(item);
}

bool Win32FolderDialog::pathFromItem(ItemHandle item, char (&buffer)[MaxPathBytes]) {
  wchar_t path[MAX_PATH] = {};
  if (item == noItem || !::SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(item), path))
    return false;
  // MAX_PATH characters of UTF-16 always fit the buffer in UTF-8.
  const std::string text = narrow(path);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

void Win32FolderDialog::freeItem(ItemHandle item) {
  ::CoTaskMemFree(reinterpret_cast<void*>(item));
}

MessageParam Win32FolderDialog::sendMessage(WindowHandle dialog, unsigned message,
                                            std::uintptr_t wParam, MessageParam lParam) {
  const auto window = reinterpret_cast<HWND>(dialog);
  if (message == bffm::SetSelection && wParam != 0) {
    const std::wstring path = wideText(lParam);
    return ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
  }
  if (message == bffm::SetStatusText) {
    const std::wstring text = wideText(lParam);
    return ::SendMessageW(window, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  return ::SendMessageW(window, message, wParam, lParam);
}

}  // namespace karvelo::platform
