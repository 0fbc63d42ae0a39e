// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/wic/ByteStream.h"

#include <cstring>

namespace karvelo::converter::wic {

void ByteStream::rethrowFailure() const {
  if (failure_) {
    std::rethrow_exception(failure_);
  }
}

HRESULT ByteStream::QueryInterface(REFIID id, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_ISequentialStream) ||
      IsEqualIID(id, IID_IStream)) {
    *object = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG ByteStream::AddRef() { return ++references_; }

ULONG ByteStream::Release() {
  const ULONG left = --references_;
  if (left == 0) {
    delete this;
  }
  return left;
}

HRESULT ByteStream::Read(void* buffer, ULONG length, ULONG* read) {
  try {
    const std::size_t got = source_.readAt(position_, buffer, length);
    position_ += got;
    if (read != nullptr) {
      *read = static_cast<ULONG>(got);
    }
    return got == length ? S_OK : S_FALSE;
  } catch (...) {
    failure_ = std::current_exception();
    return STG_E_READFAULT;
  }
}

HRESULT ByteStream::Write(const void* buffer, ULONG length, ULONG* written) {
  if (sink_ == nullptr) {
    return STG_E_ACCESSDENIED;
  }
  try {
    sink_->writeAt(position_, std::span(static_cast<const std::uint8_t*>(buffer), length));
    position_ += length;
    if (written != nullptr) {
      *written = length;
    }
    return S_OK;
  } catch (...) {
    failure_ = std::current_exception();
    return STG_E_WRITEFAULT;
  }
}

HRESULT ByteStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
  std::int64_t base = 0;
  switch (origin) {
    case STREAM_SEEK_SET:
      break;
    case STREAM_SEEK_CUR:
      base = static_cast<std::int64_t>(position_);
      break;
    case STREAM_SEEK_END:
      base = static_cast<std::int64_t>(source_.size());
      break;
    default:
      return STG_E_INVALIDFUNCTION;
  }
  const std::int64_t target = base + move.QuadPart;
  if (target < 0) {
    return STG_E_INVALIDFUNCTION;
  }
  position_ = static_cast<std::uint64_t>(target);
  if (position != nullptr) {
    position->QuadPart = position_;
  }
  return S_OK;
}

// A sink only grows; an encoder that asks for room gets it as it writes.
HRESULT ByteStream::SetSize(ULARGE_INTEGER size) {
  return sink_ != nullptr && size.QuadPart >= source_.size() ? S_OK : STG_E_INVALIDFUNCTION;
}

HRESULT ByteStream::CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) {
  return E_NOTIMPL;
}

HRESULT ByteStream::Commit(DWORD) { return S_OK; }

HRESULT ByteStream::Revert() { return E_NOTIMPL; }

HRESULT ByteStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT ByteStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT ByteStream::Stat(STATSTG* status, DWORD) {
  if (status == nullptr) {
    return STG_E_INVALIDPOINTER;
  }
  std::memset(status, 0, sizeof *status);
  status->type = STGTY_STREAM;
  status->cbSize.QuadPart = source_.size();
  status->grfMode = sink_ != nullptr ? STGM_READWRITE : STGM_READ;
  return S_OK;
}

HRESULT ByteStream::Clone(IStream**) { return E_NOTIMPL; }

}  // namespace karvelo::converter::wic
