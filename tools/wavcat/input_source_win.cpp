// Inputs on Windows: the C runtime's descriptors over file handles (libsndfile takes those), the
// file index for identity, and a delete-on-close temporary for a long stream.
#include "input_source.h"

#include "error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace wavcat {
namespace {

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

} // namespace

OpenedInput openInput(const std::string& path)
{
    // The runtime refuses a directory as "permission denied"; say what it is, as elsewhere.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw cannotRead(path, std::strerror(EISDIR));
    const int fd = ::_open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0)
        throw cannotRead(path, std::strerror(errno));
    const HANDLE h = handleOf(fd);
    const DWORD type = ::GetFileType(h);
    if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE) {
        ::_close(fd);
        throw cannotRead(path, "not a regular file or a pipe");
    }
    OpenedInput opened{fd, type == FILE_TYPE_DISK, 0, {}};
    BY_HANDLE_FILE_INFORMATION info{};
    if (opened.regular && ::GetFileInformationByHandle(h, &info)) {
        opened.size = std::uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
        opened.identity = {info.dwVolumeSerialNumber,
                           std::uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
    }
    return opened;
}

std::size_t readSome(int fd, void* to, std::size_t n, const std::string& path)
{
    DWORD got = 0;
    const DWORD step = n > MAXDWORD ? MAXDWORD : DWORD(n);
    if (::ReadFile(handleOf(fd), to, step, &got, nullptr))
        return got;
    // The writer of a pipe closing its end is the end of the stream, not an error.
    if (::GetLastError() == ERROR_BROKEN_PIPE)
        return 0;
    throw cannotRead(path, std::strerror(EIO));
}

bool readAt(int fd, std::uint64_t at, unsigned char* to, std::size_t n)
{
    // ReadFile at an offset moves the file position, which libsndfile relies on: put it back.
    const HANDLE h = handleOf(fd);
    LARGE_INTEGER here{};
    if (!::SetFilePointerEx(h, LARGE_INTEGER{}, &here, FILE_CURRENT))
        return false;
    OVERLAPPED where{};
    where.Offset = DWORD(at);
    where.OffsetHigh = DWORD(at >> 32);
    DWORD got = 0;
    const bool ok = n <= MAXDWORD && ::ReadFile(h, to, DWORD(n), &got, &where) && got == n;
    ::SetFilePointerEx(h, here, nullptr, FILE_BEGIN);
    return ok;
}

int unnamedTemporaryFile(std::string& dir)
{
    char folder[MAX_PATH + 1] = {};
    char name[MAX_PATH + 1] = {};
    if (!::GetTempPathA(sizeof folder, folder) || !::GetTempFileNameA(folder, "wav", 0, name)) {
        errno = ENOENT;
        return -1;
    }
    dir = folder;
    // Deleted by the system when closed, however wavcat ends.
    const HANDLE h = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        ::DeleteFileA(name);
        errno = EACCES;
        return -1;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
    if (fd < 0)
        ::CloseHandle(h);
    return fd;
}

int writeAll(int fd, const char* bytes, std::size_t size)
{
    for (std::size_t done = 0; done < size;) {
        DWORD put = 0;
        const DWORD step = size - done > MAXDWORD ? MAXDWORD : DWORD(size - done);
        if (!::WriteFile(handleOf(fd), bytes + done, step, &put, nullptr))
            return ::GetLastError() == ERROR_DISK_FULL ? ENOSPC : EIO;
        if (put == 0)
            return ENOSPC;
        done += put;
    }
    return 0;
}

std::optional<std::uint64_t> rewindFile(int fd)
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handleOf(fd), &size) || ::_lseeki64(fd, 0, SEEK_SET) != 0) {
        errno = EIO;
        return std::nullopt;
    }
    return std::uint64_t(size.QuadPart);
}

void closeInput(int fd)
{
    ::_close(fd);
}

} // namespace wavcat
