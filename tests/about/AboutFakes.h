#pragma once

#include <set>
#include <string>
#include <vector>

#include "fakes/FakeRegistry.h"
#include "fakes/FakeShellOpen.h"
#include "forms/RuntimeError.h"
#include "platform/Services.h"

namespace karvelo::fakes {

// Starts every command line except the empty one and those listed as failing.
class StartRecorder final : public platform::Processes {
 public:
  struct Start {
    std::string commandLine;
    int windowStyle;
    bool operator==(const Start&) const = default;
  };
  void start(const std::string& commandLine, int windowStyle) override {
    if (commandLine.empty() || failing.count(commandLine)) {
      throw RuntimeError(RuntimeError::FileNotFound, "cannot start " + commandLine);
    }
    starts.push_back({commandLine, windowStyle});
  }
  std::string programFolder() const override { return "C:\\Tools"; }
  std::set<std::string> failing;
  std::vector<Start> starts;
};

class NormalFiles final : public platform::FileSystem {
 public:
  std::vector<std::string> filesIn(const std::string&) const override { return {}; }
  bool isNormalFile(const std::string& path) const override {
    tested.push_back(path);
    return files.count(path) != 0;
  }
  std::set<std::string> files;
  mutable std::vector<std::string> tested;
};

class MessageRecorder final : public platform::MessageBoxes {
 public:
  struct Shown {
    std::string text;
    int style;
    std::string title;
    bool operator==(const Shown&) const = default;
  };
  void show(const std::string& text, int style, const std::string& title) override {
    shown.push_back({text, style, title});
  }
  std::vector<Shown> shown;
};

class ShowRecorder final : public platform::Application {
 public:
  void show(forms::Form& form) override { shownForms.push_back(&form); }
  void end() override { ++endCalls; }
  std::vector<forms::Form*> shownForms;
  int endCalls = 0;
};

struct AboutServices {
  StartRecorder processes;
  NormalFiles files;
  MessageRecorder messages;
  ShowRecorder application;
  FakeShellOpen shell;
  FakeRegistry registry;
  platform::Services services() {
    return {processes, files, messages, application, shell, registry};
  }
};

}  // namespace karvelo::fakes
