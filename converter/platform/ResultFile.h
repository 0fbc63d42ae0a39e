// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/platform/FileAccess.h"

#include <memory>
#include <string>

namespace karvelo::converter {

// The file a result is written into before it takes its final name: a temporary file in the
// destination folder, which `commit` puts in place under the final name. Without `replace` an
// existing file is never replaced, even one that appears while the result is written; with it
// the old file is swapped for the complete new one in a single step. The temporary file is
// removed when the result is not committed, and when the process is told to end (SIGTERM,
// SIGINT, SIGHUP). On POSIX it has no name while it is written where the file system allows
// that, so that a process killed outright leaves nothing; on Windows the system deletes it when
// its writer dies. Where a hidden ".multiconv-" file is left all the same, a later converter
// removes it once its writer is gone.
//
// Throws ConversionError: OutputExists when the name is taken, WriteFailure otherwise; the
// temporary file is gone by then.
class ResultFile {
 public:
  ResultFile(const std::string& finalPath, bool replace);
  ~ResultFile();
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;

  FileHandle file() const;
  const std::string& finalPath() const;

  void commit();

  // Removes the temporary file; nothing more may be written.
  void discard() noexcept;

 private:
  // The temporary file and what it takes to remove it; each system defines its own.
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace karvelo::converter
