// Inputs on POSIX systems: a FIFO opened without blocking, pread, and O_TMPFILE for a long stream.
#include "input_source.h"

#include "error.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wavcat {

OpenedInput openInput(const std::string& path)
{
    // Without O_NONBLOCK, opening a FIFO that nobody writes to would wait for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw cannotRead(path, std::strerror(errno));
    const auto fail = [fd, &path](const std::string& reason) {
        ::close(fd);
        return cannotRead(path, reason);
    };
    struct stat st = {};
    if (::fstat(fd, &st) != 0)
        throw fail(std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        throw fail(std::strerror(EISDIR));
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode))
        throw fail("not a regular file or a pipe");
    // From here on a pipe's reads wait for its writer; one that has no writer reads as empty.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return {fd, S_ISREG(st.st_mode), std::uint64_t(st.st_size), {st.st_dev, st.st_ino}};
}

std::size_t readSome(int fd, void* to, std::size_t n, const std::string& path)
{
    for (;;) {
        const ssize_t got = ::read(fd, to, n);
        if (got >= 0)
            return std::size_t(got);
        if (errno != EINTR)
            throw cannotRead(path, std::strerror(errno));
    }
}

bool readAt(int fd, std::uint64_t at, unsigned char* to, std::size_t n)
{
    return ::pread(fd, to, n, off_t(at)) == ssize_t(n);
}

int unnamedTemporaryFile(std::string& dir)
{
    const char* tmp = std::getenv("TMPDIR");
    dir = tmp && *tmp ? tmp : "/tmp";
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    std::string name = dir + "/wavcat-XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0)
        ::unlink(name.c_str());
    return named;
}

int writeAll(int fd, const char* bytes, std::size_t size)
{
    for (std::size_t done = 0; done < size;) {
        const ssize_t put = ::write(fd, bytes + done, size - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return put < 0 ? errno : ENOSPC;
        done += std::size_t(put);
    }
    return 0;
}

std::optional<std::uint64_t> rewindFile(int fd)
{
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || ::lseek(fd, 0, SEEK_SET) != 0)
        return std::nullopt;
    return std::uint64_t(st.st_size);
}

void closeInput(int fd)
{
    ::close(fd);
}

} // namespace wavcat
