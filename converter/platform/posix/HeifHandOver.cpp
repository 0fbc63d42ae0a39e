// SPDX-License-Identifier: GPL-3.0-or-later
// The HEIF and AVIF codecs of the Linux multiconv, which is linked whole for its start-up: Debian
// ships libheif and its HEVC and AV1 codecs only as shared libraries, which a program linked
// whole cannot load, so a HEIF or AVIF picture is handed to multiconv-heif, the same converter
// linked with them, in this program's folder. multiconv-heif links the real codecs
// (codecs/HeifCodec.cpp) in place of this file, so it never hands over again.
#include "converter/codecs/LibraryCodecs.h"
#include "converter/engine/HandOver.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <limits.h>
#include <unistd.h>

namespace karvelo::converter {

namespace {

constexpr const char* heifProgram = "multiconv-heif";

// Starts multiconv-heif from this program's real folder (symbolic links followed, as the program
// finds the converter), never from a search of PATH or from the working folder. The descriptors
// the run opened are closed on exec and closed already by the unwinding; the outcome channel and
// the standard streams are inherited, and execv passes the environment.
std::string startHeifProgram(char** argv) {
  char self[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self);
  std::string path;
  if (length > 0 && length < static_cast<ssize_t>(sizeof self)) {
    path.assign(self, static_cast<std::size_t>(length));
    path.erase(path.rfind('/') + 1).append(heifProgram);
    ::execv(path.c_str(), argv);
  } else {
    path = heifProgram;  // this program's own path is unknown (no /proc, or too long)
    errno = length < 0 ? errno : ENAMETOOLONG;
  }
  return std::string("HEIF and AVIF pictures are converted by ")
      .append(path)
      .append(", which cannot be started: ")
      .append(std::strerror(errno));
}

}  // namespace

std::unique_ptr<Decoder> heifDecoder(const ByteSource&) { throw HandOver{startHeifProgram}; }

std::unique_ptr<Encoder> heifEncoder(PictureFormat) { throw HandOver{startHeifProgram}; }

}  // namespace karvelo::converter
