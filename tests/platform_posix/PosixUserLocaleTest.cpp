// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/posix/PosixUserLocale.h"

using karvelo::platform::PosixUserLocale;

namespace {

int sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

TEST(PosixUserLocale, OrdersNamesAsADictionaryOfTheUsersLanguageDoesIgnoringCase) {
  struct Case {
    const char* language;
    const char* a;
    const char* b;
    int order;  // of a against b
  };
  const Case cases[] = {
      // Accented letters sort with their base letter, not after Z as their bytes would.
      {"en_US", "eagle.jpg", "\u00C9clair.jpg", -1},
      {"en_US", "\u00C9clair.jpg", "fig.jpg", -1},
      {"en_US", "\u00C9clair.jpg", "Zebra.jpg", -1},
      // The accent decides only between names that are otherwise the same.
      {"en_US", "resume.txt", "r\u00E9sum\u00E9.txt", -1},
      {"en_US", "r\u00E9sum\u00E9", "resumes", -1},
      // Case is ignored.
      {"en_US", "IMG_0001.JPG", "img_0001.jpg", 0},
      {"en_US", "a.png", "B.jpg", -1},
      // Punctuation and digits come before letters.
      {"en_US", "~notes.txt", "a.txt", -1},
      {"en_US", "(copy) z.jpg", "2.jpg", -1},
      {"en_US", "2.jpg", "a.jpg", -1},
      // The language's own alphabet: Swedish puts \u00C4 after Z, German beside A.
      {"sv_SE", "zebra", "\u00C4rger", -1},
      {"de_DE", "\u00C4rger", "banana", -1},
      // The C locale takes the common order of every language.
      {"C", "\u00C9clair", "fig", -1},
  };
  for (const Case& c : cases) {
    const PosixUserLocale locale(c.language);
    EXPECT_EQ(sign(locale.compare(c.a, c.b)), c.order) << c.language << ": " << c.a << " " << c.b;
    EXPECT_EQ(sign(locale.compare(c.b, c.a)), -c.order) << c.language << ": " << c.b << " " << c.a;
  }

  // The language comes from the environment, with its code set and modifier left out.
  const char* saved = std::getenv("LC_ALL");
  const std::string savedValue = saved ? saved : "";
  ::setenv("LC_ALL", "sv_SE.UTF-8@euro", 1);
  EXPECT_LT(PosixUserLocale().compare("zebra", "\u00C4rger"), 0);
  if (saved) {
    ::setenv("LC_ALL", savedValue.c_str(), 1);
  } else {
    ::unsetenv("LC_ALL");
  }
}
