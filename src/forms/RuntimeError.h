// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

namespace karvelo {

// A run-time failure: raised by controls and platform services, caught only by the handlers that
// trap failures. The number classifies it the way the program's error trap would report it.
class RuntimeError : public std::runtime_error {
 public:
  enum Number {
    InvalidCall = 5,
    Overflow = 6,
    SubscriptOutOfRange = 9,
    TypeMismatch = 13,
    FileNotFound = 53,
    PathNotFound = 76,
  };

  RuntimeError(int number, const std::string& what) : std::runtime_error(what), number_(number) {}
  int number() const { return number_; }

 private:
  int number_;
};

}  // namespace karvelo
