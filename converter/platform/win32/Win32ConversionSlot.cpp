// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/platform/ConversionSlot.h"

#include "common/win32/WideText.h"
#include "converter/platform/Process.h"

#include <algorithm>
#include <string>

#include <windows.h>

namespace karvelo::converter {

namespace {

// A named mutex in the session's namespace. MULTICONV_SLOT_DIR, when set, names another set of
// slots (tests keep theirs apart); a name cannot hold a backslash.
std::wstring slotName(unsigned index) {
  std::wstring name = L"Local\\karvelo-multiconv-";
  if (const std::wstring set = common::widen(environmentVariable("MULTICONV_SLOT_DIR"));
      !set.empty()) {
    for (const wchar_t c : set) {
      name += c == L'\\' ? L'/' : c;
    }
    name += L'-';
  }
  return name + L"slot-" + std::to_wstring(index);
}

}  // namespace

// The slot's mutex, owned.
struct ConversionSlot::Held {
  HANDLE mutex;

  ~Held() {
    traceSlotEvent('-');
    ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
  }
};

ConversionSlot ConversionSlot::acquire() {
  // Named mutexes in the session's namespace; an abandoned mutex (its owner died) is free.
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  const unsigned used = std::min<unsigned>(slotCount(), MAXIMUM_WAIT_OBJECTS);
  unsigned made = 0;
  for (; made < used; ++made) {
    handles[made] = ::CreateMutexW(nullptr, FALSE, slotName(made).c_str());
    if (handles[made] == nullptr) break;
  }
  const DWORD result =
      made == used ? ::WaitForMultipleObjects(used, handles, FALSE, INFINITE) : WAIT_FAILED;
  std::unique_ptr<Held> held;
  for (unsigned i = 0; i < made; ++i) {
    if (result == WAIT_OBJECT_0 + i || result == WAIT_ABANDONED_0 + i) {
      held.reset(new Held{handles[i]});
    } else {
      ::CloseHandle(handles[i]);
    }
  }
  if (held) {
    traceSlotEvent('+');
  }
  return ConversionSlot(std::move(held));
}

// The mutexes go with their last handle.
void ConversionSlot::discard(const std::string&) {}

ConversionSlot::ConversionSlot(std::unique_ptr<Held> held) : held_(std::move(held)) {}
ConversionSlot::ConversionSlot(ConversionSlot&& other) noexcept = default;
ConversionSlot::~ConversionSlot() = default;

}  // namespace karvelo::converter
