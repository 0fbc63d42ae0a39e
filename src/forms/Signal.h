// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <map>
#include <utility>

namespace karvelo::forms {

// A list of observers: connect() returns an id for disconnect(). Observers may disconnect
// themselves, or others, while a notification is being delivered.
template <typename... Args>
class Signal {
 public:
  using Slot = std::function<void(Args...)>;

  int connect(Slot slot) {
    slots_.emplace(nextId_, std::move(slot));
    return nextId_++;
  }
  void disconnect(int id) { slots_.erase(id); }

  void operator()(Args... args) const {
    for (auto it = slots_.begin(); it != slots_.end();) {
      const int id = it->first;
      const Slot slot = it->second;
      slot(args...);
      it = slots_.upper_bound(id);
    }
  }

 private:
  std::map<int, Slot> slots_;
  int nextId_ = 1;
};

}  // namespace karvelo::forms
