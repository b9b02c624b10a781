// The replacement file on Windows: a hidden-named temporary beside the target, made durable with
// FlushFileBuffers and put in place with ReplaceFileA (which keeps the old file's attributes and
// security) or, the first time, MoveFileExA with MOVEFILE_WRITE_THROUGH. Windows has no unnamed
// files: a temporary that is never committed is removed, on Ctrl+C and Ctrl+Break too, but not
// when the process is terminated outright.
#include "replacement_file.h"

#include "error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <random>
#include <string_view>
#include <windows.h>

namespace wavcat {
namespace {

// Longer names are cut in the temporary's name so that ".<name>.XXXXXX" stays within MAX_PATH.
constexpr std::size_t kMaxNameInTemp = 200;

char g_pendingTemp[MAX_PATH + 1];
volatile LONG g_havePending = 0;

BOOL WINAPI removePendingOnBreak(DWORD)
{
    // The file is still open: with delete sharing, it goes when the process closes it.
    if (g_havePending)
        ::DeleteFileA(g_pendingTemp);
    return FALSE; // and the default handler ends the process, as the key intended
}

std::string errnoText(int error)
{
    return std::strerror(error);
}

// The system's reason as the C runtime's text, so that messages read as on other systems.
std::string lastErrorText()
{
    switch (::GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return errnoText(ENOENT);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return errnoText(EACCES);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return errnoText(ENOSPC);
    default:
        return errnoText(EIO);
    }
}

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

struct ResolvedTarget
{
    std::string path, dir, name;
};

// Only a regular file may be replaced, and not a read-only one: ReplaceFileA would fail on it
// half-way, and a device name (NUL, COM1) is not a file at all.
void checkTargetWritable(const std::string& target)
{
    const DWORD attributes = ::GetFileAttributesA(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
            throw cannotWrite(target, lastErrorText());
        return;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        throw cannotWrite(target, errnoText(EISDIR));
    const HANDLE h = ::CreateFileA(target.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD type = h == INVALID_HANDLE_VALUE ? FILE_TYPE_UNKNOWN : ::GetFileType(h);
    if (h != INVALID_HANDLE_VALUE)
        ::CloseHandle(h);
    if (type != FILE_TYPE_DISK)
        throw cannotWrite(target, "not a regular file");
    if (attributes & FILE_ATTRIBUTE_READONLY)
        throw cannotWrite(target, errnoText(EACCES));
}

ResolvedTarget resolveTarget(const std::string& named)
{
    if (named.empty())
        throw cannotWrite(named, errnoText(ENOENT));
    ResolvedTarget r;
    r.path = named;
    const std::size_t slash = r.path.find_last_of("/\\");
    r.dir = slash == std::string::npos ? "." : r.path.substr(0, slash + 1);
    r.name = slash == std::string::npos ? r.path : r.path.substr(slash + 1);
    if (r.name.empty())
        throw cannotWrite(r.path, errnoText(EISDIR));
    const DWORD dir = ::GetFileAttributesA(r.dir.c_str());
    if (dir == INVALID_FILE_ATTRIBUTES)
        throw cannotWrite(named, lastErrorText());
    if (!(dir & FILE_ATTRIBUTE_DIRECTORY))
        throw cannotWrite(named, errnoText(ENOTDIR));
    checkTargetWritable(r.path);
    return r;
}

} // namespace

std::optional<FileIdentity> ReplacementFile::checkTarget(const std::string& target)
{
    const HANDLE h = ::CreateFileA(resolveTarget(target).path.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
    ::CloseHandle(h);
    if (!ok)
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        std::uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

ReplacementFile::ReplacementFile(std::string target, Temporary)
{
    ResolvedTarget resolved = resolveTarget(target);
    m_target = std::move(resolved.path);
    m_dir = std::move(resolved.dir);
    m_name = std::move(resolved.name);
    openNamedTemporary();
}

std::string ReplacementFile::hiddenPrefix() const
{
    return (m_dir == "." ? std::string() : m_dir) + "." + m_name.substr(0, kMaxNameInTemp) + ".";
}

void ReplacementFile::openNamedTemporary()
{
    static constexpr std::string_view kLetters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = hiddenPrefix();
        for (int i = 0; i < 6; ++i)
            temp += kLetters[random() % kLetters.size()];
        // Delete sharing lets a Ctrl+C remove it while it is still open.
        const HANDLE h =
            ::CreateFileA(temp.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_EXISTS)
                continue;
            throw cannotWrite(m_target, lastErrorText());
        }
        m_fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
        if (m_fd < 0) {
            ::CloseHandle(h);
            ::DeleteFileA(temp.c_str());
            throw cannotWrite(m_target, errnoText(EMFILE));
        }
        m_temp = temp;
        setPending();
        return;
    }
    throw cannotWrite(m_target, errnoText(EEXIST));
}

void ReplacementFile::setPending()
{
    if (m_temp.size() < sizeof g_pendingTemp) {
        std::memcpy(g_pendingTemp, m_temp.c_str(), m_temp.size() + 1);
        g_havePending = 1;
        ::SetConsoleCtrlHandler(removePendingOnBreak, TRUE);
    }
}

ReplacementFile::~ReplacementFile()
{
    if (m_fd >= 0)
        ::_close(m_fd);
    if (!m_temp.empty()) {
        ::DeleteFileA(m_temp.c_str());
        g_havePending = 0;
    }
}

void ReplacementFile::commit()
{
    if (!::FlushFileBuffers(handleOf(m_fd)))
        throw cannotWrite(m_target, lastErrorText());
    const int fd = m_fd;
    m_fd = -1;
    if (::_close(fd) != 0)
        throw cannotWrite(m_target, errnoText(errno));
    const bool exists = ::GetFileAttributesA(m_target.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!(exists && ::ReplaceFileA(m_target.c_str(), m_temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                   nullptr, nullptr)) &&
        !::MoveFileExA(m_temp.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw cannotWrite(m_target, lastErrorText());
    m_temp.clear();
    g_havePending = 0;
}

} // namespace wavcat
