// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows services against the real Windows API.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "WindowsTestSupport.h"
#include "about/frmAbout.h"
#include "fakes/FakeServices.h"
#include "forms/RuntimeError.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32ShellOpen.h"
#include "platform/win32/Win32UserLocale.h"

using namespace karvelo;
using namespace karvelo::platform;
using karvelo::testing::copyProbe;
using karvelo::testing::TempFolder;
using karvelo::testing::waitForReport;
using karvelo::testing::widen;

namespace {

// A registry value set as a Unicode program sets it, removed again at the end of the test.
struct RegistryValue {
  HKEY root;
  std::wstring key;
  std::wstring name;

  RegistryValue(HKEY root, std::wstring key, std::wstring name, DWORD type, const void* data,
                DWORD size)
      : root(root), key(std::move(key)), name(std::move(name)) {
    ::RegSetKeyValueW(root, this->key.c_str(), this->name.c_str(), type, data, size);
  }
  RegistryValue(HKEY root, std::wstring key, std::wstring name, const std::wstring& text)
      : RegistryValue(root, std::move(key), std::move(name), REG_SZ, text.c_str(),
                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) {}
  ~RegistryValue() { ::RegDeleteKeyValueW(root, key.c_str(), name.c_str()); }
};

}  // namespace

TEST(Win32Processes, StartsAnUnquotedPathWithBlanksInTheShowStateOfItsStyle) {
  TempFolder temp("karvelo-start");
  const std::string folder = temp.at("folder with blanks", true);
  copyProbe(folder + "\\probe.exe");
  Win32Processes processes;
  // The started program sees its arguments as given (Wine, unlike Windows, adds quotes around
  // the program path that it found).
  using ::testing::EndsWith;
  using ::testing::StartsWith;

  processes.start(folder + "\\probe.exe /s:\"a b.jpg\"", windowStyle::MinimizedNoFocus);
  const std::string minimized = waitForReport(folder);
  EXPECT_THAT(minimized, StartsWith(std::to_string(SW_SHOWMINNOACTIVE) + "\n"));
  EXPECT_THAT(minimized, EndsWith(" /s:\"a b.jpg\""));
  processes.start(folder + "\\probe.exe", windowStyle::Normal);
  EXPECT_THAT(waitForReport(folder), StartsWith(std::to_string(SW_SHOWNORMAL) + "\n"));

  EXPECT_THROW(processes.start(folder + "\\missing.exe /s:\"x\"", windowStyle::MinimizedNoFocus),
               RuntimeError);
  EXPECT_THROW(processes.start("", windowStyle::Normal), RuntimeError);
}

TEST(Win32FileSystem, ListsExactlyTheFilesWhateverTheirNamesAndAttributes) {
  TempFolder temp("karvelo-list");
  const std::vector<std::string> names = {"caf\u00E9.jpg",
                                          "\u041F\u0440\u0438\u0432\u0435\u0442.png",
                                          "\u65E5\u672C\u8A9E.txt",
                                          "\U0001F600.gif",
                                          "hidden.jpg",
                                          "system.dat",
                                          "read-only.bmp"};
  for (const std::string& name : names) temp.write(name);
  ::SetFileAttributesW(widen(temp.at("hidden.jpg")).c_str(), FILE_ATTRIBUTE_HIDDEN);
  ::SetFileAttributesW(widen(temp.at("system.dat")).c_str(), FILE_ATTRIBUTE_SYSTEM);
  ::SetFileAttributesW(widen(temp.at("read-only.bmp")).c_str(), FILE_ATTRIBUTE_READONLY);
  temp.at("old", true);
  temp.at("empty", true);
  Win32FileSystem files;

  EXPECT_THAT(files.filesIn(temp.at("")), ::testing::UnorderedElementsAreArray(names));
  EXPECT_THAT(files.filesIn(temp.at("empty")), ::testing::IsEmpty());
  EXPECT_THROW(files.filesIn(temp.at("missing")), RuntimeError);
  EXPECT_THROW(files.filesIn(temp.at("caf\u00E9.jpg")), RuntimeError);
  EXPECT_THROW(files.filesIn(""), RuntimeError);

  // A folder deeper than MAX_PATH is listed too.
  std::string deep = "deep";
  while (temp.at(deep).size() < MAX_PATH) deep += "\\" + std::string(40, 'd');
  temp.at(deep, true);
  temp.write(deep + "\\inside.jpg");
  EXPECT_THAT(files.filesIn(temp.at(deep)), ::testing::ElementsAre("inside.jpg"));

  // The normal-file test takes plain and read-only files, nothing else.
  EXPECT_TRUE(files.isNormalFile(temp.at("caf\u00E9.jpg")));
  EXPECT_TRUE(files.isNormalFile(temp.at("read-only.bmp")));
  EXPECT_TRUE(files.isNormalFile(temp.at(deep + "\\inside.jpg")));
  for (const std::string& other : {temp.at("hidden.jpg"), temp.at("system.dat"), temp.at("old"),
                                   temp.at("missing.jpg"), temp.at("*.jpg"), std::string()})
    EXPECT_FALSE(files.isNormalFile(other)) << other;
}

TEST(Win32Registry, TheLauncherFindsTheToolInTheTwoLocationsInOrder) {
  TempFolder temp("karvelo-sysinfo");
  // The second location holds the folder of the tool; the first the tool's path, here through
  // a folder whose name needs a byte beyond ASCII in the ANSI code page.
  const std::string second = temp.at("second", true);
  const std::string first = temp.at("caf\u00E9", true);
  copyProbe(second + "\\MSINFO32.EXE");
  copyProbe(first + "\\msinfo32.exe");
  fakes::FakeServices fakes;
  Win32Processes processes;
  Win32FileSystem files;
  Win32Registry registry;
  about::frmAbout about{
      fakes.services({.processes = &processes, .files = &files, .registry = &registry})};

  {
    const RegistryValue folder(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Shared Tools Location",
                               L"MSINFO", widen(second));
    about.StartSysInfo();
    EXPECT_EQ(waitForReport(second),
              std::to_string(SW_SHOWNORMAL) + "\n" + second + "\\MSINFO32.EXE");

    const RegistryValue path(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO",
                             L"PATH", widen(first + "\\msinfo32.exe"));
    about.StartSysInfo();
    EXPECT_EQ(waitForReport(first),
              std::to_string(SW_SHOWNORMAL) + "\n" + first + "\\msinfo32.exe");
  }
  EXPECT_TRUE(fakes.messages.shown.empty());
  about.StartSysInfo();
  EXPECT_EQ(fakes.messages.shown.size(), 1u) << "nothing is found once both are gone";

  const DWORD number = 0x12345678;
  const RegistryValue dword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Karvelo Test", L"Number", REG_DWORD,
                            &number, sizeof number);
  std::string value;
  EXPECT_TRUE(about.GetKeyValue(Registry::LocalMachine, "SOFTWARE\\Karvelo Test", "Number", value));
  EXPECT_EQ(value, "&h12345678");
  ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Karvelo Test");
}

TEST(Win32ShellOpen, HandsTheAddressToTheProgramRegisteredForItsScheme) {
  TempFolder temp("karvelo-shell");
  const std::string handler = temp.at("handler", true);
  copyProbe(handler + "\\opener.exe");
  const std::wstring scheme = L"karvelo-test";
  const RegistryValue protocol(HKEY_CLASSES_ROOT, scheme, L"URL Protocol", L"");
  const RegistryValue command(HKEY_CLASSES_ROOT, scheme + L"\\shell\\open\\command", L"",
                              widen("\"" + handler + "\\opener.exe\" \"%1\""));

  Win32ShellOpen shell;
  shell.open(0, "Open", "karvelo-test://www.example.com/faq.php", std::nullopt, std::nullopt,
             showCommand::Hide);
  EXPECT_EQ(waitForReport(handler),
            std::to_string(SW_HIDE) + "\n\"" + handler +
                "\\opener.exe\" \"karvelo-test://www.example.com/faq.php\"");
  ::RegDeleteTreeW(HKEY_CLASSES_ROOT, scheme.c_str());
}

TEST(Win32UserLocale, OrdersAsTheListControlAndTakesTheDecimalSeparatorOfTheSettings) {
  const Win32UserLocale locale;
  const char* ordered[] = {"2.jpg",           "a.png",   "B.JPG",    "eagle.jpg",
                           "\u00C9clair.jpg", "fig.jpg", "Zebra.jpg"};
  for (std::size_t i = 0; i + 1 < std::size(ordered); ++i)
    EXPECT_LT(locale.compare(ordered[i], ordered[i + 1]), 0) << ordered[i] << " " << ordered[i + 1];
  EXPECT_EQ(locale.compare("IMG_0001.JPG", "img_0001.jpg"), 0);

  wchar_t saved[8] = {};
  ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved, 8);
  ::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, L",");
  EXPECT_EQ(locale.decimalSeparator(), ',');
  ::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, L"\u066B");
  EXPECT_EQ(locale.decimalSeparator(), '.') << "a separator beyond ASCII falls back to '.'";
  ::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, saved);
}
