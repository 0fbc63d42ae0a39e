// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/ListEntry.h"
#include "forms/TextOrder.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace karvelo::forms {

// The entries of a sorted list box, kept in a balanced tree ordered by position (a treap with
// subtree sizes): reading, inserting at the sorted place and removing by index all take
// logarithmic time, so that moving thousands of entries between lists stays fast.
class SortedEntries {
 public:
  int size() const { return sizeOf(root_); }

  // The index a new entry with this text takes: after every entry that compares equal or lower.
  int sortedPosition(std::string_view text, const TextOrder& order) const;
  void insertAt(int index, ListEntry entry);
  void erase(int index);
  void clear();

  ListEntry& at(int index);
  const ListEntry& at(int index) const;

  // Visits entries [first, last] in order.
  void forRange(int first, int last, const std::function<void(ListEntry&)>& visit);

 private:
  struct Node {
    ListEntry entry;
    std::int32_t left = -1;
    std::int32_t right = -1;
    std::uint32_t priority = 0;
    std::int32_t size = 1;
  };

  int sizeOf(std::int32_t node) const { return node < 0 ? 0 : nodes_[node].size; }
  void update(std::int32_t node);
  std::int32_t merge(std::int32_t a, std::int32_t b);
  void split(std::int32_t node, int count, std::int32_t& first, std::int32_t& rest);
  std::int32_t allocate(ListEntry entry);
  std::int32_t find(int index) const;

  std::vector<Node> nodes_;
  std::vector<std::int32_t> free_;
  std::int32_t root_ = -1;
  std::uint32_t seed_ = 0x9E3779B9u;
};

}  // namespace karvelo::forms
