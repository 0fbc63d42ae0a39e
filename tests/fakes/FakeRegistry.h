// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Registry.h"

namespace karvelo::fakes {

// Keys by root and path, each with named values of a type and raw bytes. Opening hands out a
// fresh handle; every open, query and close is recorded. Its code page is Latin-1: each byte is
// the character of that number.
class FakeRegistry final : public platform::Registry {
 public:
  struct Value {
    std::uint32_t type = TypeString;
    std::vector<std::uint8_t> bytes;
  };
  struct Open {
    Key root;
    std::string subKey;
    std::uint32_t options;
    std::uint32_t access;
    bool operator==(const Open&) const = default;
  };

  // A text value stored with its terminating zero, or without it.
  static Value text(const std::string& s, bool terminated = true, std::uint32_t type = TypeString) {
    Value v{type, std::vector<std::uint8_t>(s.begin(), s.end())};
    if (terminated) v.bytes.push_back(0);
    return v;
  }

  void set(const std::string& subKey, const std::string& name, Value value,
           Key root = LocalMachine) {
    keys[{root, subKey}][name] = std::move(value);
  }

  long openKey(Key root, const std::string& subKey, std::uint32_t options, std::uint32_t access,
               Key& handle) override {
    opens.push_back({root, subKey, options, access});
    const auto it = keys.find({root, subKey});
    if (it == keys.end()) return FileNotFound;
    handle = nextHandle++;
    openKeys[handle] = &it->second;
    return Success;
  }

  long queryValue(Key handle, const std::string& valueName, std::uint32_t& type, std::uint8_t* data,
                  std::uint32_t& length) override {
    queries.push_back(valueName);
    const auto key = openKeys.find(handle);
    if (key == openKeys.end()) return InvalidHandle;
    const auto value = key->second->find(valueName);
    if (value == key->second->end()) return FileNotFound;
    const std::vector<std::uint8_t>& bytes = value->second.bytes;
    type = value->second.type;
    if (bytes.size() > length) {
      length = static_cast<std::uint32_t>(bytes.size());
      return MoreData;
    }
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    length = static_cast<std::uint32_t>(bytes.size());
    return Success;
  }

  long closeKey(Key handle) override {
    closes.push_back(handle);
    return openKeys.erase(handle) == 1 ? Success : InvalidHandle;
  }

  std::string valueText(std::string_view bytes) const override {
    std::string text;
    for (const char c : bytes) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x80) {
        text += c;
      } else {
        text += static_cast<char>(0xC0 | (byte >> 6));
        text += static_cast<char>(0x80 | (byte & 0x3F));
      }
    }
    return text;
  }

  std::map<std::pair<Key, std::string>, std::map<std::string, Value>> keys;
  std::map<Key, std::map<std::string, Value>*> openKeys;
  std::vector<Open> opens;
  std::vector<std::string> queries;
  std::vector<Key> closes;
  Key nextHandle = 0x100;
};

}  // namespace karvelo::fakes
