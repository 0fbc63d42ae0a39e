#include "converter/engine/SourceFile.h"

#include "converter/core/ConversionError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace karvelo::converter {

namespace {

[[noreturn]] void unreadable(const std::string& path, const std::string& why)
{
    throw ConversionError(ExitCode::InputUnreadable, "cannot read \"" + path + "\": " + why);
}

} // namespace

SourceFile::SourceFile(const std::string& path) : path_(path)
{
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) {
        unreadable(path, std::strerror(errno));
    }
    struct stat status {};
    if (::fstat(fd_, &status) != 0) {
        unreadable(path, std::strerror(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        unreadable(path, "not a regular file");
    }
    size_ = static_cast<std::uint64_t>(status.st_size);
}

SourceFile::~SourceFile()
{
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::size_t SourceFile::readInto(std::uint64_t offset, void* buffer, std::size_t length) const
{
    std::size_t done = 0;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    while (done < length) {
        const ssize_t got = ::pread(fd_, bytes + done, length - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            unreadable(path_, std::strerror(errno));
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::vector<std::uint8_t> SourceFile::read(std::uint64_t offset, std::size_t length) const
{
    std::vector<std::uint8_t> bytes(length);
    bytes.resize(readInto(offset, bytes.data(), length));
    return bytes;
}

std::vector<std::uint8_t> SourceFile::readAll() const
{
    return read(0, static_cast<std::size_t>(size_));
}

} // namespace karvelo::converter
