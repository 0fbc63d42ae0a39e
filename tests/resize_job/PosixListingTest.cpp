// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_window/Form1Fixture.h"

#include "forms/RuntimeError.h"
#include "platform/posix/PosixFileSystem.h"
#include "resize_job/Module1.h"

#include <filesystem>
#include <fstream>

using namespace karvelo;
using karvelo::resize_job::Module1;
using karvelo::testing::Form1Fixture;
using Names = std::vector<std::string>;

TEST_F(Form1Fixture, PosixListingTakesFilesButNotFolders) {
  namespace fs = std::filesystem;
  const fs::path dir =
      fs::temp_directory_path() /
      ("karvelo-list-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
       std::to_string(reinterpret_cast<std::uintptr_t>(this)));
  fs::create_directories(dir / "old");
  for (const char* name : {"b.JPG", "a.png", "notes.txt"}) std::ofstream(dir / name) << "x";
  fs::create_directories(dir / "only-folders" / "sub");

  platform::PosixFileSystem files;
  Module1 module(form, files);
  module.ListFolderFiles(dir.string());
  EXPECT_EQ(entries(form.List1), (Names{"a.png", "b.JPG", "notes.txt"}));
  module.ListFolderFiles((dir / "only-folders").string());
  EXPECT_EQ(form.List1.ListCount(), 3);
  EXPECT_THROW(module.ListFolderFiles((dir / "missing").string()), RuntimeError);
  EXPECT_THROW(module.ListFolderFiles(""), RuntimeError);
  fs::remove_all(dir);
}
