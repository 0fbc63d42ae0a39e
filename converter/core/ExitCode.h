// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Exit status of multiconv: one value per kind of failure, so a caller or a script can tell them
// apart without reading the message.
namespace karvelo::converter {

enum class ExitCode : int {
  Success = 0,
  InternalError = 1,      // anything unexpected, such as running out of memory
  Usage = 2,              // a switch is missing, repeated, unknown or has a bad value
  InputUnreadable = 3,    // the source cannot be opened or is not a regular file
  UnsupportedFormat = 4,  // the source is empty or not a picture of a supported format
  DamagedPicture = 5,     // the picture is truncated or corrupt
  PictureTooLarge = 6,    // the source or the result would exceed the pixel limits
  OutputExists = 7,       // without /o, the output name is taken (or is the source itself)
  WriteFailure = 8,       // the destination cannot be written
};

}  // namespace karvelo::converter
