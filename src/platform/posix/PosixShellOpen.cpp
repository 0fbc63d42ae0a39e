// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/PosixShellOpen.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/posix/DetachedSpawn.h"

namespace karvelo::platform {

namespace {

#ifdef __APPLE__
constexpr const char* Opener = "open";
#else
constexpr const char* Opener = "xdg-open";
#endif

bool isOpenVerb(const std::string& verb) {
  constexpr std::string_view open = "open";
  return verb.size() == open.size() &&
         std::equal(verb.begin(), verb.end(), open.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         });
}

}  // namespace

void PosixShellOpen::open(std::uintptr_t, const std::string& verb, const std::string& file,
                          const std::optional<std::string>&,
                          const std::optional<std::string>& directory, int) {
  if (!isOpenVerb(verb) || file.empty()) return;
  // Like the shell on Windows, nothing is reported: a missing opener goes unnoticed.
  spawnDetached({Opener, file}, directory);
}

}  // namespace karvelo::platform
