// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/SortedEntries.h"

#include "forms/RuntimeError.h"

#include <algorithm>

namespace karvelo::forms {

namespace {
char foldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

int compareIgnoringCase(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(foldCase(a[i]));
    const auto y = static_cast<unsigned char>(foldCase(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

void SortedEntries::update(std::int32_t node) {
  Node& n = nodes_[node];
  n.size = 1 + sizeOf(n.left) + sizeOf(n.right);
}

std::int32_t SortedEntries::merge(std::int32_t a, std::int32_t b) {
  if (a < 0) return b;
  if (b < 0) return a;
  if (nodes_[a].priority > nodes_[b].priority) {
    nodes_[a].right = merge(nodes_[a].right, b);
    update(a);
    return a;
  }
  nodes_[b].left = merge(a, nodes_[b].left);
  update(b);
  return b;
}

void SortedEntries::split(std::int32_t node, int count, std::int32_t& first, std::int32_t& rest) {
  if (node < 0) {
    first = rest = -1;
    return;
  }
  const int leftSize = sizeOf(nodes_[node].left);
  if (count <= leftSize) {
    std::int32_t l = -1;
    split(nodes_[node].left, count, first, l);
    nodes_[node].left = l;
    rest = node;
  } else {
    std::int32_t r = -1;
    split(nodes_[node].right, count - leftSize - 1, r, rest);
    nodes_[node].right = r;
    first = node;
  }
  update(node);
}

std::int32_t SortedEntries::allocate(ListEntry entry) {
  // xorshift32: cheap, deterministic priorities
  seed_ ^= seed_ << 13;
  seed_ ^= seed_ >> 17;
  seed_ ^= seed_ << 5;
  Node node{std::move(entry), -1, -1, seed_, 1};
  if (!free_.empty()) {
    const std::int32_t index = free_.back();
    free_.pop_back();
    nodes_[index] = std::move(node);
    return index;
  }
  nodes_.push_back(std::move(node));
  return static_cast<std::int32_t>(nodes_.size() - 1);
}

int SortedEntries::sortedPosition(std::string_view text, const TextOrder& order) const {
  int position = 0;
  for (std::int32_t node = root_; node >= 0;) {
    if (order.compare(text, nodes_[node].entry.text) < 0) {
      node = nodes_[node].left;
    } else {
      position += sizeOf(nodes_[node].left) + 1;
      node = nodes_[node].right;
    }
  }
  return position;
}

void SortedEntries::insertAt(int index, ListEntry entry) {
  const std::int32_t created = allocate(std::move(entry));
  std::int32_t first = -1;
  std::int32_t rest = -1;
  split(root_, index, first, rest);
  root_ = merge(merge(first, created), rest);
}

std::int32_t SortedEntries::find(int index) const {
  if (index < 0 || index >= size()) {
    throw RuntimeError(RuntimeError::InvalidCall, "list index out of range");
  }
  std::int32_t node = root_;
  for (;;) {
    const int leftSize = sizeOf(nodes_[node].left);
    if (index < leftSize) {
      node = nodes_[node].left;
    } else if (index == leftSize) {
      return node;
    } else {
      index -= leftSize + 1;
      node = nodes_[node].right;
    }
  }
}

ListEntry& SortedEntries::at(int index) { return nodes_[find(index)].entry; }

const ListEntry& SortedEntries::at(int index) const { return nodes_[find(index)].entry; }

void SortedEntries::erase(int index) {
  find(index);  // range check
  std::int32_t first = -1;
  std::int32_t rest = -1;
  std::int32_t middle = -1;
  std::int32_t last = -1;
  split(root_, index, first, rest);
  split(rest, 1, middle, last);
  nodes_[middle].entry = ListEntry{};
  free_.push_back(middle);
  root_ = merge(first, last);
}

void SortedEntries::clear() {
  nodes_.clear();
  free_.clear();
  root_ = -1;
}

void SortedEntries::forRange(int first, int last, const std::function<void(ListEntry&)>& visit) {
  first = std::max(first, 0);
  last = std::min(last, size() - 1);
  // Each look-up is logarithmic: every entry of a full list is visited in a few milliseconds.
  for (int index = first; index <= last; ++index) visit(at(index));
}

}  // namespace karvelo::forms
