// The Windows file services: GetModuleFileNameW for the program directory, the read-only
// attribute, file identity by volume and file index, FlushFileBuffers before ReplaceFileW or
// MoveFileExW, LockFileEx, and CreateFileW with GetFileType for the decoder's input.
#include "platform/files.h"

#include "platform/app_error.h"
#include "platform/system_message.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <aclapi.h>
#include <fcntl.h>
#include <io.h>
#include <sddl.h>
#include <vector>
#include <windows.h>

namespace quillfen {
namespace {

// Descriptors made from handles are only ever turned back into their handle (by us or by
// libsndfile), never read through the runtime: no mode flags, and no <fcntl.h> for them.
constexpr int kHandleOnly = 0;

std::wstring wide(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

struct Identity
{
    DWORD volume = 0;
    DWORD high = 0;
    DWORD low = 0;
    DWORD attributes = 0;
};

// What `path` is, through links: its volume and file index, which every name of it shares.
std::optional<Identity> identityOf(const QString& path)
{
    const HANDLE h = ::CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(h, &info) != 0;
    const DWORD type = ::GetFileType(h);
    ::CloseHandle(h);
    if (!ok)
        return std::nullopt;
    // A device or pipe has no meaningful index; make sure it never counts as a regular file.
    const DWORD attributes = type == FILE_TYPE_DISK ? info.dwFileAttributes : FILE_ATTRIBUTE_DEVICE;
    return Identity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, attributes};
}

void changeReadOnly(const QString& path, bool readOnly)
{
    const std::wstring name = wide(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        throw AppError::make(AppError::FileNotFound, path);
    const DWORD wanted =
        readOnly ? attributes | FILE_ATTRIBUTE_READONLY : attributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
    if (wanted != attributes && !::SetFileAttributesW(name.c_str(), wanted)) {
        const DWORD error = ::GetLastError();
        throw AppError::make(error == ERROR_ACCESS_DENIED ? AppError::PermissionDenied
                                                          : AppError::PathFileAccessError,
                             path, systemMessage(error));
    }
}

// The SID of the user running the program, as a string (to compare with an owner).
QString currentUserSid()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    QString sid;
    wchar_t* text = nullptr;
    if (size && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        sid = QString::fromWCharArray(text);
        ::LocalFree(text);
    }
    ::CloseHandle(token);
    return sid;
}

bool grantsWriteToOthers(PACL dacl, const QString& ownSid)
{
    if (!dacl)
        return true; // no list at all: everyone may do everything
    // Whom a write grant is harmless for: the user, the system and the administrators.
    const QStringList trusted{ownSid, QStringLiteral("S-1-5-18"), QStringLiteral("S-1-5-32-544"),
                              QStringLiteral("S-1-3-0")};
    constexpr ACCESS_MASK kWrite =
        FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | DELETE | GENERIC_WRITE | GENERIC_ALL;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!::GetAce(dacl, i, &entry))
            return true;
        const auto* header = static_cast<ACE_HEADER*>(entry);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        if ((allowed->Mask & kWrite) == 0)
            continue;
        wchar_t* text = nullptr;
        if (!::ConvertSidToStringSidW(const_cast<DWORD*>(&allowed->SidStart), &text))
            return true;
        const bool other = !trusted.contains(QString::fromWCharArray(text));
        ::LocalFree(text);
        if (other)
            return true;
    }
    return false;
}

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

} // namespace

QString programDirectory()
{
    if (QCoreApplication::instance())
        return QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath();
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
        if (n == 0)
            return QDir::currentPath();
        if (n < name.size())
            return QFileInfo(QString::fromWCharArray(name.data(), int(n))).absolutePath();
        name.resize(name.size() * 2);
    }
}

bool isReadOnly(const QString& path)
{
    const DWORD attributes = ::GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

void clearReadOnly(const QString& path)
{
    changeReadOnly(path, false);
}

void setReadOnly(const QString& path)
{
    changeReadOnly(path, true);
}

void checkReplaceableOutput(const QString& output, const QStringList& inputs, const QString& baseDir)
{
    const QDir base(baseDir);
    const auto out = identityOf(base.absoluteFilePath(output));
    if (!out)
        return; // nothing there yet, or nothing a join could reach either
    if (out->attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        throw AppError::make(AppError::PathFileAccessError, output, QStringLiteral("not a regular file"));
    for (const QString& input : inputs) {
        const auto in = identityOf(base.absoluteFilePath(input));
        if (in && in->volume == out->volume && in->high == out->high && in->low == out->low)
            throw AppError::make(AppError::PathFileAccessError, output,
                                 QStringLiteral("the same file as the input ") + input);
    }
}

void replaceFile(const QString& from, const QString& to)
{
    const std::wstring source = wide(from);
    const std::wstring target = wide(to);
    // The data reaches the disk before the name does, so a crash leaves the old file or the new one.
    const HANDLE h =
        ::CreateFileW(source.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw AppError::make(AppError::PathFileAccessError, to, systemMessage(::GetLastError()));
    const bool flushed = ::FlushFileBuffers(h) != 0;
    const DWORD flushError = ::GetLastError();
    ::CloseHandle(h);
    if (!flushed)
        throw AppError::make(AppError::PathFileAccessError, to, systemMessage(flushError));
    // ReplaceFileW keeps what the old file had beyond its data (its security, its attributes); the
    // first time, with nothing to replace, the file is simply moved into place.
    if (::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES &&
        ::ReplaceFileW(target.c_str(), source.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                       nullptr))
        return;
    if (!::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw AppError::make(AppError::PathFileAccessError, to, systemMessage(::GetLastError()));
}

bool isOwnPrivate(const QString& path)
{
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::wstring name = wide(path);
    if (::GetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                                &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const QString own = currentUserSid();
    wchar_t* text = nullptr;
    bool ours = false;
    if (!own.isEmpty() && ::ConvertSidToStringSidW(owner, &text)) {
        ours = QString::fromWCharArray(text) == own;
        ::LocalFree(text);
    }
    const bool result = ours && !grantsWriteToOthers(dacl, own);
    ::LocalFree(descriptor);
    return result;
}

std::unique_ptr<FileLock> FileLock::lockedOrClosed(int fd)
{
    if (fd < 0)
        return nullptr;
    // A byte-range lock belongs to this handle: a second open in the same process sees it, and the
    // system drops it when the handle or the process goes.
    OVERLAPPED whole{};
    if (!::LockFileEx(handleOf(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                      MAXDWORD, &whole)) {
        ::_close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileLock>(new FileLock(fd));
}

namespace {

int openForLock(const QString& path, DWORD disposition)
{
    const HANDLE h =
        ::CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), kHandleOnly);
    if (fd < 0)
        ::CloseHandle(h);
    return fd;
}

} // namespace

std::unique_ptr<FileLock> FileLock::tryTake(const QString& path, bool create)
{
    return lockedOrClosed(openForLock(path, create ? OPEN_ALWAYS : OPEN_EXISTING));
}

std::unique_ptr<FileLock> FileLock::createLocked(const QString& path)
{
    // Windows has no unnamed files to lock before they are named: the new file is unlocked between
    // its creation and the lock, and a taker in that moment sees a set still being made and waits.
    return lockedOrClosed(openForLock(path, CREATE_NEW));
}

void FileLock::shareWithChildren()
{
    // Children inherit the handle, but a Windows lock is the locking process's: it ends with us.
    // What a child goes on with after we are gone is then not protected by the lock.
    ::SetHandleInformation(handleOf(m_handle), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

FileLock::~FileLock()
{
    ::_close(m_handle);
}

int openRegularFileForReading(const std::string& path)
{
    const QString name = QString::fromLocal8Bit(path.c_str());
    auto fail = [&](AppError::Number number, const QString& why) {
        return AppError::make(number, name + QStringLiteral(": ") + why);
    };
    // FILE_READ_ATTRIBUTES first: looking at a pipe or a device this way neither blocks nor
    // consumes anything, so it is refused before it is opened for reading.
    const auto what = identityOf(name);
    if (!what) {
        const DWORD e = ::GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND)
            throw fail(AppError::FileNotFound, QStringLiteral("no such file"));
        if (e == ERROR_ACCESS_DENIED)
            throw fail(AppError::PermissionDenied, QStringLiteral("the file cannot be read"));
        throw fail(AppError::PathFileAccessError, systemMessage(e));
    }
    auto refuseNonRegular = [&](DWORD attributes) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            throw fail(AppError::PathFileAccessError, QStringLiteral("is a directory, not a recording"));
        if (attributes & FILE_ATTRIBUTE_DEVICE)
            throw fail(AppError::PathFileAccessError,
                       QStringLiteral("is not a regular file (a pipe, socket or device); only recordings "
                                      "stored as files can be decoded"));
    };
    refuseNonRegular(what->attributes);
    const HANDLE h = ::CreateFileW(wide(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = ::GetLastError();
        throw fail(e == ERROR_ACCESS_DENIED ? AppError::PermissionDenied : AppError::PathFileAccessError,
                   systemMessage(e));
    }
    if (::GetFileType(h) != FILE_TYPE_DISK) { // swapped for something else in between
        ::CloseHandle(h);
        refuseNonRegular(FILE_ATTRIBUTE_DEVICE);
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), kHandleOnly);
    if (fd < 0) {
        ::CloseHandle(h);
        throw fail(AppError::PathFileAccessError, QStringLiteral("no descriptor left for the file"));
    }
    return fd;
}

void closeDescriptor(int fd)
{
    ::_close(fd);
}

void useBinaryStandardInput()
{
    ::_setmode(::_fileno(stdin), _O_BINARY);
}

} // namespace quillfen
