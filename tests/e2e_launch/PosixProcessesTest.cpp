// SPDX-License-Identifier: GPL-3.0-or-later
#include <pthread.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdint>

#include <cerrno>

#include "LaunchTest.h"
#include "forms/RuntimeError.h"

namespace karvelo::platform {
namespace {

TEST_F(LaunchTest, StartsTheConverterOncePerCommandLineDetachedAndInOrder) {
  const std::string program = (folder / "multiconv").string();
  const std::vector<std::string> files = {"a b.jpg", "beach.jpg", "x'y.png"};
  std::vector<Args> expected;
  for (const std::string& file : files) {
    processes.start(
        program + " /s:\"/pics/in here/" + file + "\" /d:\"/pics/out/\" /m:r /r:0.25 /pre:t",
        windowStyle::MinimizedNoFocus);
    expected.push_back(
        {program, "/s:/pics/in here/" + file, "/d:/pics/out/", "/m:r", "/r:0.25", "/pre:t"});
  }
  EXPECT_EQ(records(files.size()), expected);
  // The converters ran as grandchildren: nothing is left for this process to reap.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(LaunchTest, TheConverterBeginsWithNoSignalBlockedOrIgnored) {
  writeScript(
      folder / "multiconv",
      // The shell reads its own state with built-ins before it starts anything: while it forks
      // a command, the shell blocks every signal for a moment, and a reader running beside it
      // would see that.
      "#!/bin/sh\n"
      "out=\"${0%/*}/records/$$\"\n"
      "while IFS= read -r line; do\n"
      "  case \"$line\" in SigBlk:*|SigIgn:*) echo \"$line\" ;; esac\n"
      "done < /proc/$$/status > \"$out.tmp\"\n"
      "mv \"$out.tmp\" \"$out\"\n");
  // The caller blocks SIGTERM, ignores SIGPIPE and catches SIGUSR1 while it starts the converter.
  sigset_t terminate;
  sigset_t callers;
  ::sigemptyset(&terminate);
  ::sigaddset(&terminate, SIGTERM);
  ::pthread_sigmask(SIG_BLOCK, &terminate, &callers);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  struct sigaction catcher {};
  catcher.sa_handler = [](int) {};
  struct sigaction pipe {};
  struct sigaction user {};
  ::sigaction(SIGPIPE, &ignore, &pipe);
  ::sigaction(SIGUSR1, &catcher, &user);
  // The C library's own first real-time signals, ignored as a parent can leave them; the library
  // refuses to change them, so the system call does it.
  struct {
    void (*handler)(int);
    unsigned long flags;
    void (*restorer)();
    std::uint64_t mask;
  } kernelIgnore{SIG_IGN, 0, nullptr, 0};
  ::syscall(SYS_rt_sigaction, __SIGRTMIN, &kernelIgnore, nullptr, sizeof kernelIgnore.mask);
  processes.start((folder / "multiconv").string(), windowStyle::MinimizedNoFocus);
  kernelIgnore.handler = SIG_DFL;
  ::syscall(SYS_rt_sigaction, __SIGRTMIN, &kernelIgnore, nullptr, sizeof kernelIgnore.mask);
  ::sigaction(SIGUSR1, &user, nullptr);
  ::sigaction(SIGPIPE, &pipe, nullptr);
  ::pthread_sigmask(SIG_SETMASK, &callers, nullptr);
  EXPECT_EQ(records(1),
            (std::vector<Args>{{"SigBlk:\t0000000000000000", "SigIgn:\t0000000000000000"}}));
}

TEST_F(LaunchTest, FindsTheProgramByTheRuleForUnquotedPaths) {
  writeScript(folder / "prog two", "#!/bin/sh\n");
  const std::string base = folder.string();
  // Only "prog two" exists: the longer run of words names it.
  EXPECT_EQ(PosixProcesses::resolve(base + "/prog two /o"), (Args{base + "/prog two", "/o"}));
  // With "prog" beside it, the shortest run wins.
  writeScript(folder / "prog", "#!/bin/sh\n");
  EXPECT_EQ(PosixProcesses::resolve(base + "/prog two /o"), (Args{base + "/prog", "two", "/o"}));
  // A quoted program path is taken whole.
  EXPECT_EQ(PosixProcesses::resolve("\"" + base + "/prog two\" /o"),
            (Args{base + "/prog two", "/o"}));
  // A folder never counts as the program.
  fs::create_directory(folder / "sub");
  writeScript(folder / "sub dir", "#!/bin/sh\n");
  EXPECT_EQ(PosixProcesses::resolve(base + "/sub dir"), (Args{base + "/sub dir"}));
}

TEST_F(LaunchTest, AStartThatCannotHappenFailsAtOnceAndStartsNothing) {
  const std::string program = (folder / "multiconv").string();
  const auto fails = [&](const std::string& commandLine) {
    try {
      processes.start(commandLine, windowStyle::MinimizedNoFocus);
    } catch (const RuntimeError&) {
      return true;
    }
    return false;
  };
  EXPECT_TRUE(fails((folder / "missing").string() + " /s:\"a.jpg\""));
  EXPECT_TRUE(fails(""));
  std::ofstream(folder / "plain") << "not a program\n";
  EXPECT_TRUE(fails((folder / "plain").string() + " /o")) << "not executable";
  // A name holding a double quote cannot be carried by the command line.
  EXPECT_TRUE(fails(program + " /s:\"/pics/say \"hi\".jpg\" /d:\"/out/\""));
  EXPECT_TRUE(fails(program + " /s:\"/pics/a\" /o \"b.jpg\" /d:\"/out/\""));
  EXPECT_TRUE(fails(program + " /s:\"/pics/odd\".jpg /d:\"/out/\""));
  EXPECT_TRUE(fails(program + " /s:\"/pics/open.jpg /d:/out/"));
  // A name may close its own quotes and spell switches of its own between them.
  EXPECT_TRUE(fails(program + " /s:\"/pics/x\" /o /pre:\"y.jpg\" /d:\"/out/\""));
  EXPECT_TRUE(fails(program + " /s:\"/pics/x\" /o /d:\"y.jpg\" /d:\"/out/\""));
  EXPECT_TRUE(fails(program + " /s:\"/pics/a.jpg\" /d:\"/out\" /o /S:\"b\""));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_TRUE(fs::is_empty(folder / "records"));
  // A drive root as the Windows form writes it stays one value.
  EXPECT_FALSE(fails(program + " /s:\"C:\\a.jpg\" /d:\"C:\\\" /o"));
  EXPECT_EQ(records(1), (std::vector<Args>{{program, "/s:C:\\a.jpg", "/d:C:\\", "/o"}}));
}

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutable) {
  const PosixProcesses processes;
  const fs::path folder = processes.programFolder();
  EXPECT_TRUE(fs::exists(folder / "e2e_launch_tests"));
}

}  // namespace
}  // namespace karvelo::platform
