// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace karvelo::converter {

// Records of results that are being written under a name of their own in a destination folder,
// so that the files of converters that were killed while writing are removed by a later one.
// A record lies in the user's runtime folder and stays locked while its writer lives; the system
// drops the lock when the writer ends in any way, and a record that can be locked belongs to a
// writer that is gone.
class PendingResult {
 public:
  // Records that `path` is being written. Nothing is recorded where the user has no runtime
  // folder.
  explicit PendingResult(const std::string& path);
  // Removes the record: the file is in place, or removed.
  ~PendingResult();
  PendingResult(const PendingResult&) = delete;
  PendingResult& operator=(const PendingResult&) = delete;

 private:
  std::string record_;
  int fd_ = -1;
};

// Removes the files of every recorded writer that is gone, and their records. Never touches the
// file of a writer that lives, nor a file whose name is not a converter's temporary name.
void removeAbandonedResults();

}  // namespace karvelo::converter
