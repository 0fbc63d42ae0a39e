// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/ByteSink.h"

#include <atomic>
#include <exception>

#include <objidl.h>

namespace karvelo::converter::wic {

// A source (read only) or a sink (read and write) as the COM stream that the imaging component's
// decoders and encoders take. A failure of the source or sink cannot pass through the component,
// so the stream keeps it: the call then fails, and the codec throws it again with
// `rethrowFailure`.
class ByteStream final : public IStream {
 public:
  explicit ByteStream(const ByteSource& source) : source_(source) {}
  explicit ByteStream(ByteSink& sink) : source_(sink), sink_(&sink) {}

  // Throws the failure of the source or sink that made a call fail, if there was one.
  void rethrowFailure() const;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG length, ULONG* read) override;
  HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG length, ULONG* written) override;

  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                 ULARGE_INTEGER* position) override;
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                   ULARGE_INTEGER*) override;
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override;
  HRESULT STDMETHODCALLTYPE Revert() override;
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override;
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override;
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* status, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override;

 private:
  ~ByteStream() = default;

  const ByteSource& source_;
  ByteSink* sink_ = nullptr;
  std::uint64_t position_ = 0;
  std::exception_ptr failure_;
  std::atomic<ULONG> references_{1};
};

}  // namespace karvelo::converter::wic
