// SPDX-License-Identifier: GPL-3.0-or-later
// The two lists of the main window under any sequence of adding, removing, selecting, moving
// ("=>" and "<="), selecting and deselecting all, and clearing, with file names of any bytes in
// the order of the user's language. After every step each list holds what a plain sorted vector
// holds when given the same steps, and a view that follows the lists' notifications alone holds
// the same texts.
#include "FuzzInput.h"

#include "fakes/FakeServices.h"
#include "forms/ListBox.h"
#include "main_window/Form1.h"
#include "platform/posix/PosixUserLocale.h"

#include <algorithm>
#include <array>
#include <vector>

using namespace karvelo;
using karvelo::fuzz::FuzzInput;
using karvelo::fuzz::require;

namespace {

struct Entry {
  std::string text;
  std::int32_t itemData = 0;
  bool selected = false;
  bool operator==(const Entry&) const = default;
};

using Model = std::vector<Entry>;

void add(Model& model, const forms::TextOrder& order, Entry entry) {
  const auto at = std::upper_bound(
      model.begin(), model.end(), entry.text,
      [&](const std::string& text, const Entry& e) { return order.compare(text, e.text) < 0; });
  model.insert(at, std::move(entry));
}

// "=>" and "<=": from the last entry down, each selected one goes to its sorted place in the
// other list, unselected, with its item data; a full target list stops the move.
void move(Model& to, Model& from, const forms::TextOrder& order) {
  for (int i = static_cast<int>(from.size()) - 1; i >= 0; --i) {
    if (!from[i].selected) continue;
    if (to.size() >= forms::ListBox::MaxEntries) return;
    add(to, order, {from[i].text, from[i].itemData, false});
    from.erase(from.begin() + i);
  }
}

// A view's copy of a list's texts, kept only from the list's notifications.
class Mirror {
 public:
  explicit Mirror(forms::ListBox& list) : list_(list) {
    // The observer holds this object's address: it is neither copied nor moved.
    list.listChanged.connect([this](const forms::ListChange& change) { follow(change); });
  }
  Mirror(const Mirror&) = delete;
  Mirror& operator=(const Mirror&) = delete;
  const std::vector<std::string>& texts() const { return texts_; }

 private:
  void follow(const forms::ListChange& change) {
    if (change.about) return;
    switch (change.kind) {
      case forms::ListChange::Insert:
        texts_.insert(texts_.begin() + change.first, list_.List(change.first));
        break;
      case forms::ListChange::Remove:
        texts_.erase(texts_.begin() + change.first);
        break;
      case forms::ListChange::Reset:
        texts_.clear();
        break;
      case forms::ListChange::Selection:
        break;
    }
  }

  forms::ListBox& list_;
  std::vector<std::string> texts_;
};

void check(const forms::ListBox& list, const Model& model, const Mirror& mirror) {
  require(list.ListCount() == static_cast<int>(model.size()), "the list holds as many entries");
  for (int i = 0; i < list.ListCount(); ++i) {
    require(Entry{list.List(i), list.ItemData(i), list.Selected(i)} == model[i],
            "each entry has its place, item data and selection");
  }
  std::vector<std::string> texts;
  for (const Entry& entry : model) texts.push_back(entry.text);
  require(mirror.texts() == texts, "the notifications tell every change");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  // The fixed order, or the collation of one of a few languages.
  constexpr std::array<const char*, 4> languages{"", "en_US", "de_DE", "sv"};
  const std::uint8_t language = in.byte() % (languages.size() + 1);
  platform::PosixUserLocale collation(languages[language % languages.size()]);
  fakes::FakeServices fake;
  main_window::Form1 form(
      fake.services({.locale = language < languages.size() ? &collation : nullptr}));
  form.load();
  const forms::TextOrder& order = form.textOrder();
  std::array<forms::ListBox*, 2> lists{&form.List1, &form.List2};
  std::array<Model, 2> models;
  const Mirror mirror1(form.List1);
  const Mirror mirror2(form.List2);

  while (!in.empty()) {
    const std::uint8_t step = in.byte();
    const std::size_t k = step >> 7;  // which list
    forms::ListBox& list = *lists[k];
    Model& model = models[k];
    const int index = static_cast<int>(in.below(static_cast<std::uint32_t>(model.size()) + 1));
    const bool exists = index < static_cast<int>(model.size());
    switch (step & 0x7F) {
      case 0: {
        std::string name = in.text(24);
        list.AddItem(name);
        add(model, order, {std::move(name), 0, false});
        break;
      }
      case 1:
        if (exists) {
          list.RemoveItem(index);
          model.erase(model.begin() + index);
        }
        break;
      case 2:
        if (exists) {
          const bool selected = in.flag();
          list.setSelected(index, selected);
          model[index].selected = selected;
        }
        break;
      case 3:
        if (exists) {
          const auto itemData = static_cast<std::int32_t>(in.below(65536) << 16 | in.below(65536));
          list.setItemData(index, itemData);
          model[index].itemData = itemData;
        }
        break;
      case 4:
        k == 0 ? form.cmdAdd.Click() : form.cmdRemove.Click();
        move(models[1 - k], model, order);
        break;
      case 5:
      case 6: {
        const bool selected = (step & 0x7F) == 5;
        (k == 0 ? (selected ? form.SelectAll : form.deselectall)
                : (selected ? form.SelectAll2 : form.DeselectAll2))
            .Click();
        for (Entry& entry : model) entry.selected = selected;
        break;
      }
      case 7: {
        // The range message with any range: the entries that exist between its two ends.
        const auto first = static_cast<int>(in.below(65536));
        const auto last = static_cast<int>(in.below(65536));
        const bool selected = in.flag();
        list.sendMessage(forms::ListBox::LB_SELITEMRANGE, selected ? 1 : 0,
                         static_cast<std::intptr_t>(static_cast<std::uint32_t>(last) << 16 |
                                                    static_cast<std::uint32_t>(first)));
        const int end = std::min(std::max(first, last) + 1, static_cast<int>(model.size()));
        for (int i = std::min(first, last); i < end; ++i) model[i].selected = selected;
        break;
      }
      case 8:
        list.Clear();
        model.clear();
        break;
      default:
        break;
    }
    check(form.List1, models[0], mirror1);
    check(form.List2, models[1], mirror2);
  }
  return 0;
}
