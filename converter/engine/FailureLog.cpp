#include "converter/engine/FailureLog.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace karvelo::converter {

namespace {

std::string oneLine(std::string text)
{
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 32 || c == 127) {
            c = '?';
        }
    }
    return text;
}

std::string logFolder()
{
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
        return std::string(state) + "/karvelo";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return std::string(home) + "/.local/state/karvelo";
    }
    return {};
}

// mkdir -p for the folders of the log.
void makeFolders(const std::string& folder)
{
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
    }
    ::mkdir(folder.c_str(), 0700);
}

} // namespace

void reportFailure(ExitCode code, const std::string& message, const std::string& commandLine)
{
    const std::string text = oneLine(message);
    const std::string errorLine = "multiconv: " + text + "\n";
    [[maybe_unused]] const ssize_t shown = ::write(STDERR_FILENO, errorLine.data(), errorLine.size());

    const std::string folder = logFolder();
    if (folder.empty()) {
        return;
    }
    makeFolders(folder);
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    const std::string line = std::string(stamp) + " pid " + std::to_string(::getpid()) + " exit " +
                             std::to_string(static_cast<int>(code)) + ": " + text + " [" +
                             oneLine(commandLine) + "]\n";
    const int fd = ::open((folder + "/multiconv.log").c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t logged = ::write(fd, line.data(), line.size());
        ::close(fd);
    }
}

} // namespace karvelo::converter
