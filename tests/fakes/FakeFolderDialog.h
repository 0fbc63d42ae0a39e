// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/FolderDialog.h"

namespace karvelo::fakes {

// A folder dialog that plays what a test scripted: which folders the user clicks in the tree, what
// is typed into the edit field, and whether OK or Cancel ends the dialog. It records every request
// and every message the callback sends back, and keeps the items it gave out so that a test can
// see that each was freed once.
class FakeFolderDialog final : public platform::FolderDialog {
 public:
  struct Action {
    enum class Kind { Select, SelectVirtual, Type, Ok, Cancel } kind;
    std::string text;
  };
  static Action select(std::string folder) { return {Action::Kind::Select, std::move(folder)}; }
  // Selects an item with no file-system path, such as a special folder of the desktop.
  static Action selectVirtual() { return {Action::Kind::SelectVirtual, {}}; }
  static Action type(std::string text) { return {Action::Kind::Type, std::move(text)}; }
  static Action ok() { return {Action::Kind::Ok, {}}; }
  static Action cancel() { return {Action::Kind::Cancel, {}}; }

  // What one browse() call was asked.
  struct Request {
    platform::WindowHandle hwndOwner;
    platform::ItemHandle pidlRoot;
    bool hasDisplayNameBuffer;
    std::string lpszTitle;
    std::uint32_t ulFlags;
    platform::BrowseCallback lpfn;
    platform::MessageParam lParam;
    int iImage;
  };

  // A message the callback sent: texts are read at the time of sending.
  struct Message {
    platform::WindowHandle dialog;
    unsigned message;
    std::uintptr_t wParam;
    platform::MessageParam value;  // the parameter, for messages that carry a number
    std::string text;              // the text, for messages that carry one
  };

  // The next dialog plays these actions; a dialog with no script left is cancelled.
  void script(std::vector<Action> actions) { scripts_.push_back(std::move(actions)); }
  void willChoose(const std::string& folder) { script({select(folder), ok()}); }
  void willCancel() { script({cancel()}); }

  // Folders that a typed name may name; a typed name outside them is not a folder.
  std::set<std::string> existingFolders;
  // Called as each dialog opens, before the callback hears of it; may throw to fail the dialog.
  std::function<void(const platform::BrowseInfo&)> onBrowse;

  std::vector<Request> requests;
  std::vector<Message> sent;
  // The answers of the callback to validation failures.
  std::vector<int> validationAnswers;
  // The selection the dialog showed on opening, from Set Selection during initialization.
  std::vector<std::string> openedOn;

  int liveItems() const { return static_cast<int>(items_.size()) - dialogOwned_; }
  int freedUnknownItems = 0;

  platform::ItemHandle browse(platform::BrowseInfo& request) override {
    requests.push_back({request.hwndOwner, request.pidlRoot, request.pszDisplayName != nullptr,
                        request.lpszTitle, request.ulFlags, request.lpfn, request.lParam,
                        request.iImage});
    if (onBrowse) onBrowse(request);
    std::vector<Action> actions;
    if (!scripts_.empty()) {
      actions = std::move(scripts_.front());
      scripts_.pop_front();
    }
    const platform::WindowHandle window = 0xD1A10000u + requests.size();
    request_ = &request;
    window_ = window;
    pendingSelection_.reset();
    selected_.reset();
    typed_.reset();
    notify(platform::bffm::Initialized, 0);
    openedOn.push_back(pendingSelection_.value_or(""));
    if (pendingSelection_) changeSelection(pendingSelection_);

    platform::ItemHandle result = platform::noItem;
    for (const Action& action : actions) {
      bool closed = false;
      switch (action.kind) {
        case Action::Kind::Select:
          changeSelection(action.text);
          break;
        case Action::Kind::SelectVirtual:
          changeSelection(std::nullopt);
          break;
        case Action::Kind::Type:
          typed_ = action.text;
          break;
        case Action::Kind::Cancel:
          closed = true;
          break;
        case Action::Kind::Ok:
          closed = pressOk(result);
          break;
      }
      if (closed) break;
    }
    request_ = nullptr;
    window_ = 0;
    if (result != platform::noItem) {
      const std::string name = displayName(items_.at(result)).substr(0, platform::MaxPathBytes - 1);
      std::memcpy(request.pszDisplayName, name.c_str(), name.size() + 1);
    }
    return result;
  }

  bool pathFromItem(platform::ItemHandle item, char (&buffer)[platform::MaxPathBytes]) override {
    const auto it = items_.find(item);
    if (it == items_.end() || !it->second) return false;
    const std::string& path = *it->second;
    if (!platform::fitsMaxPath(path)) return false;
    // Only the path and its NUL are written: the rest of the buffer keeps what it held.
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
  }

  void freeItem(platform::ItemHandle item) override {
    if (items_.erase(item) == 0) ++freedUnknownItems;
  }

  platform::MessageParam sendMessage(platform::WindowHandle dialog, unsigned message,
                                     std::uintptr_t wParam,
                                     platform::MessageParam lParam) override {
    Message record{dialog, message, wParam, lParam, {}};
    const bool carriesText = message == platform::bffm::SetStatusText ||
                             (message == platform::bffm::SetSelection && wParam != 0);
    if (carriesText) record.text = reinterpret_cast<const char*>(lParam);
    sent.push_back(record);
    if (dialog == window_ && message == platform::bffm::SetSelection && wParam != 0)
      pendingSelection_ = record.text;
    return 0;
  }

  // The messages of one kind, in order.
  std::vector<Message> sentOf(unsigned message) const {
    std::vector<Message> found;
    for (const Message& m : sent)
      if (m.message == message) found.push_back(m);
    return found;
  }

 private:
  using Item = std::optional<std::string>;  // a path, or none for a virtual item

  platform::ItemHandle newItem(Item path) {
    const platform::ItemHandle handle = nextItem_++;
    items_.emplace(handle, std::move(path));
    return handle;
  }

  int notify(unsigned message, platform::MessageParam lParam) {
    if (request_ == nullptr || request_->lpfn == nullptr) return 0;
    return request_->lpfn(window_, message, lParam, request_->lParam);
  }

  // The tree's selection changes: the callback hears of it with an item the dialog owns.
  void changeSelection(Item path) {
    selected_ = path;
    const platform::ItemHandle item = newItem(path);
    ++dialogOwned_;
    notify(platform::bffm::SelChanged, static_cast<platform::MessageParam>(item));
    if (items_.erase(item) == 1) --dialogOwned_;
  }

  // OK: a typed name wins over the tree's selection when the edit field is shown. Returns whether
  // the dialog closed.
  bool pressOk(platform::ItemHandle& result) {
    const std::uint32_t flags = request_->ulFlags;
    if (typed_ && (flags & platform::bif::EditBox) != 0) {
      if (existingFolders.count(*typed_) != 0) {
        result = newItem(*typed_);
        return true;
      }
      if ((flags & platform::bif::Validate) != 0) {
        const int answer = notify(platform::bffm::ValidateFailed,
                                  reinterpret_cast<platform::MessageParam>(typed_->c_str()));
        validationAnswers.push_back(answer);
        return answer == 0;  // zero closes the dialog without a choice
      }
    }
    result = newItem(selected_);
    return true;
  }

  static std::string displayName(const Item& path) {
    if (!path) return "Desktop";
    const auto slash = path->find_last_of("/\\");
    return slash == std::string::npos ? *path : path->substr(slash + 1);
  }

  std::deque<std::vector<Action>> scripts_;
  std::map<platform::ItemHandle, Item> items_;
  platform::ItemHandle nextItem_ = 0x1000;
  int dialogOwned_ = 0;
  platform::BrowseInfo* request_ = nullptr;
  platform::WindowHandle window_ = 0;
  std::optional<std::string> pendingSelection_;
  Item selected_;  // none until a folder is selected: OK then returns the tree's virtual top
  std::optional<std::string> typed_;
};

}  // namespace karvelo::fakes
