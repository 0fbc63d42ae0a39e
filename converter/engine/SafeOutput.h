#pragma once

#include "converter/engine/ByteSink.h"

#include <cstdint>
#include <memory>
#include <string>

namespace karvelo::converter {

#ifndef _WIN32
class PendingResult;
#endif

// The result's file, written so that no reader ever sees it half written: the bytes go to a
// temporary file in the destination folder, which `commit` renames to the final name. Without
// `replace` an existing file is never replaced, even one that appears while the result is
// written; with it the old file is swapped for the complete new one in a single step. The
// temporary file is removed when the result is not committed, and when the process is told to end
// (SIGTERM, SIGINT, SIGHUP). On POSIX it has no name while it is written where the file system
// allows that, so that a process killed outright leaves nothing; on Windows the system deletes it
// when its writer dies. Where a hidden ".multiconv-" file is left all the same, a later converter
// removes it once its writer is gone.
//
// Throws ConversionError: OutputExists when the name is taken, WriteFailure otherwise.
class OutputFile final : public ByteSink {
 public:
  OutputFile(std::string finalPath, bool replace);
  ~OutputFile() override;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::uint64_t size() const override { return written_ + pending_.size(); }
  std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t length) const override;
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;

  void commit();

 private:
  void flush() const;
  void put(std::uint64_t offset, std::span<const std::uint8_t> bytes) const;
  void discard() noexcept;
  [[noreturn]] void fail(unsigned long error);
#ifndef _WIN32
  int nameAnonymous(const std::string& self);
#endif

  std::string finalPath_;
  bool replace_;
  std::string temporary_;
  std::intptr_t handle_ = -1;  // file descriptor, or HANDLE on Windows
  // Appends are gathered, since some encoders write a few bytes at a time.
  mutable std::vector<std::uint8_t> pending_;
  mutable std::uint64_t written_ = 0;
  bool committed_ = false;
#ifdef _WIN32
  // Whether the system deletes the file when its last handle closes (where the file system can).
  bool deletedWhenClosed_ = false;
#endif
#ifndef _WIN32
  // While the result has a name of its own: the record that lets a later converter remove it.
  std::unique_ptr<PendingResult> pendingRecord_;
#endif
};

// Whether anything (a file, folder or dangling link) has this name.
bool pathExists(const std::string& path);

// Whether the path names a folder.
bool isFolder(const std::string& path);

}  // namespace karvelo::converter
