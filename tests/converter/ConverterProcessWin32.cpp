// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConverterProcess.h"

#include <algorithm>
#include <stdexcept>

#include <windows.h>
#include <psapi.h>

namespace karvelo::converter::testing {

namespace {

constexpr UINT killedCode = 0xDEAD;

std::wstring wide(std::string_view text) {
  std::wstring result(static_cast<std::size_t>(::MultiByteToWideChar(
                          CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0)),
                      L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        static_cast<int>(result.size()));
  return result;
}

HANDLE handleOf(std::intptr_t process) { return reinterpret_cast<HANDLE>(process); }

// The converter's path, as the folder of the program would give it.
std::string converterPath(const std::filesystem::path& program) {
  return utf8(std::filesystem::absolute(program));
}

// The wide environment block that CreateProcessW takes.
std::wstring environmentBlock(const std::vector<std::string>& variables) {
  std::wstring block;
  for (const std::string& variable : variables) {
    block += wide(variable);
    block += L'\0';
  }
  block += L'\0';
  return block;
}

PROCESS_MEMORY_COUNTERS memoryOf(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  ::GetProcessMemoryInfo(process, &counters, sizeof counters);
  return counters;
}

}  // namespace

StartedConverter::~StartedConverter() {
  if (process_ != -1) {
    ::CloseHandle(handleOf(process_));
  }
}

int StartedConverter::wait() {
  ::WaitForSingleObject(handleOf(process_), INFINITE);
  peakKilobytes_ = static_cast<long>(memoryOf(handleOf(process_)).PeakPagefileUsage / 1024);
  return *exitCode();
}

std::optional<int> StartedConverter::exitCode() {
  DWORD code = 0;
  if (::WaitForSingleObject(handleOf(process_), 0) != WAIT_OBJECT_0 ||
      !::GetExitCodeProcess(handleOf(process_), &code)) {
    return std::nullopt;
  }
  return code == killedCode ? -1 : static_cast<int>(code);
}

void StartedConverter::kill() {
  ::TerminateProcess(handleOf(process_), killedCode);
  wait();
}

long StartedConverter::privateKilobytes() const {
  return static_cast<long>(memoryOf(handleOf(process_)).PagefileUsage / 1024);
}

std::string ConverterProcess::commandLine(const std::string& switches) const {
  return converterPath(program_) + switches;
}

std::filesystem::path ConverterProcess::logFile() const {
  return folder_ / "state" / "Karvelo" / "multiconv.log";
}

std::vector<std::string> ConverterProcess::environment(
    const std::vector<std::string>& extra) const {
  std::vector<std::string> variables;
  wchar_t* strings = ::GetEnvironmentStringsW();
  for (const wchar_t* variable = strings; *variable != L'\0';
       variable += std::wcslen(variable) + 1) {
    const std::string text = utf8(std::filesystem::path(variable));
    std::string name = text.substr(0, text.find('='));
    std::transform(name.begin(), name.end(), name.begin(), ::toupper);
    if (name != "LOCALAPPDATA" && !name.starts_with("MULTICONV_")) {
      variables.push_back(text);
    }
  }
  ::FreeEnvironmentStringsW(strings);
  variables.push_back("LOCALAPPDATA=" + utf8(folder_ / "state"));
  variables.push_back("MULTICONV_SLOT_DIR=" + utf8(slotFolder()));
  variables.insert(variables.end(), extra.begin(), extra.end());
  return variables;
}

StartedConverter ConverterProcess::spawn(const std::string& switches,
                                         const std::vector<std::string>& variables,
                                         const std::filesystem::path& errorFile) const {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE error = ::CreateFileW(errorFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_SHOWMINNOACTIVE;  // window style 6, as the program starts it
  startup.hStdError = error;
  std::wstring line = wide(commandLine(switches));
  std::wstring block = environmentBlock(variables);
  PROCESS_INFORMATION started{};
  // Wine's process start fails now and then on a busy machine (ERROR_INTERNAL_ERROR); a later
  // try gets through.
  BOOL made = FALSE;
  for (int attempt = 0; !made && attempt < 5; ++attempt) {
    if (attempt > 0) {
      ::Sleep(200);
    }
    made = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                            CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &startup, &started);
  }
  if (error != INVALID_HANDLE_VALUE) {
    ::CloseHandle(error);
  }
  if (!made) {
    throw std::runtime_error("cannot start " + converterPath(program_) + ": error " +
                             std::to_string(::GetLastError()));
  }
  ::CloseHandle(started.hThread);
  return StartedConverter(reinterpret_cast<std::intptr_t>(started.hProcess));
}

// The converter sets the event named in its environment and waits there.
StartedConverter ConverterProcess::startStoppedBeforeRename(
    const std::string& switches, const std::vector<std::string>& extraEnvironment) const {
  static int started = 0;
  const std::string name =
      "Local\\karvelo-test-stopped-" + processTag() + "-" + std::to_string(++started);
  const HANDLE stopped = ::CreateEventW(nullptr, TRUE, FALSE, wide(name).c_str());
  std::vector<std::string> variables = extraEnvironment;
  variables.push_back("MULTICONV_TEST_STOP_BEFORE_RENAME=" + name);
  StartedConverter converter = start(switches, variables);
  const HANDLE waited[2] = {stopped, handleOf(converter.process_)};
  const DWORD result = ::WaitForMultipleObjects(2, waited, FALSE, INFINITE);
  ::CloseHandle(stopped);
  if (result != WAIT_OBJECT_0) {
    throw std::runtime_error("the converter ended before its rename");
  }
  return converter;
}

std::filesystem::path reachable(const std::filesystem::path& path) {
  if (path.native().starts_with(L"\\\\?\\")) {
    return path;
  }
  return std::filesystem::path(L"\\\\?\\" + std::filesystem::absolute(path).native());
}

// The C runtime's file calls under std::filesystem do not take the "\\?\" form, so the tree is
// removed with the wide calls.
void removeAll(const std::filesystem::path& path) {
  const std::wstring root = reachable(path).native();
  const DWORD attributes = ::GetFileAttributesW(root.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::DeleteFileW(root.c_str());
    return;
  }
  WIN32_FIND_DATAW entry;
  const HANDLE found = ::FindFirstFileW((root + L"\\*").c_str(), &entry);
  for (BOOL more = found != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(found, &entry)) {
    if (std::wcscmp(entry.cFileName, L".") != 0 && std::wcscmp(entry.cFileName, L"..") != 0) {
      removeAll(root + L"\\" + entry.cFileName);
    }
  }
  if (found != INVALID_HANDLE_VALUE) {
    ::FindClose(found);
  }
  ::RemoveDirectoryW(root.c_str());
}

std::string processTag() { return std::to_string(::GetCurrentProcessId()); }

long machineUsedKilobytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  ::GlobalMemoryStatusEx(&status);
  return static_cast<long>((status.ullTotalPhys - status.ullAvailPhys) / 1024);
}

}  // namespace karvelo::converter::testing
