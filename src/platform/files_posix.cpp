// The file services that differ by platform: where the program lies, and the read-only attribute
// as the owner's write permission.
#include "platform/files.h"

#include "platform/app_error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillfen {

QString programDirectory()
{
    if (QCoreApplication::instance())
        return QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath();
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? QDir::currentPath() : QString::fromStdString(exe.parent_path().string());
}

bool isReadOnly(const QString& path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return (st.st_mode & S_IWUSR) == 0;
}

namespace {

void changeOwnerWrite(const QString& path, bool writable)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st
    {
    };
    if (::stat(native.constData(), &st) != 0)
        throw AppError::make(AppError::FileNotFound, path);
    const mode_t mode = writable ? (st.st_mode & 07777) | S_IWUSR : (st.st_mode & 07777) & ~mode_t(S_IWUSR);
    if (::chmod(native.constData(), mode) != 0) {
        const int error = errno;
        throw AppError::make(error == EPERM || error == EACCES || error == EROFS
                                 ? AppError::PermissionDenied
                                 : AppError::PathFileAccessError,
                             path, QString::fromLocal8Bit(std::strerror(error)));
    }
}

} // namespace

void checkReplaceableOutput(const QString& output, const QStringList& inputs, const QString& baseDir)
{
    const QDir base(baseDir);
    struct stat out
    {
    };
    if (::stat(QFile::encodeName(base.absoluteFilePath(output)).constData(), &out) != 0)
        return; // nothing there yet, or nothing a join could reach either
    if (!S_ISREG(out.st_mode))
        throw AppError::make(AppError::PathFileAccessError, output, QStringLiteral("not a regular file"));
    for (const QString& input : inputs) {
        struct stat in
        {
        };
        if (::stat(QFile::encodeName(base.absoluteFilePath(input)).constData(), &in) == 0 &&
            in.st_dev == out.st_dev && in.st_ino == out.st_ino)
            throw AppError::make(AppError::PathFileAccessError, output,
                                 QStringLiteral("the same file as the input ") + input);
    }
}

void replaceFile(const QString& from, const QString& to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw AppError::make(AppError::PathFileAccessError, to, QString::fromLocal8Bit(std::strerror(errno)));
}

bool isOwnPrivate(const QString& path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::unique_ptr<FileLock> FileLock::lockedOrClosed(int fd)
{
    if (fd < 0)
        return nullptr;
    // flock, not fcntl: its lock belongs to this open, so a second open in the same process sees it.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileLock>(new FileLock(fd));
}

std::unique_ptr<FileLock> FileLock::tryTake(const QString& path, bool create)
{
    return lockedOrClosed(::open(QFile::encodeName(path).constData(),
                                 O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600));
}

std::unique_ptr<FileLock> FileLock::createLocked(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const QByteArray dir = QFile::encodeName(QFileInfo(path).path());
    const int unnamedFd = ::open(dir.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (unnamedFd < 0) // a file system without unnamed files: unlocked only between two calls
        return lockedOrClosed(::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    // Locked while it has no name, then named: nobody ever sees it unlocked.
    auto lock = lockedOrClosed(unnamedFd);
    const QByteArray unnamed = "/proc/self/fd/" + QByteArray::number(unnamedFd);
    if (!lock || ::linkat(AT_FDCWD, unnamed.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) != 0)
        return nullptr;
    return lock;
}

void FileLock::shareWithChildren()
{
    ::fcntl(m_handle, F_SETFD, 0);
}

FileLock::~FileLock()
{
    ::close(m_handle);
}

int openRegularFileForReading(const std::string& path)
{
    const QString name = QString::fromLocal8Bit(path.c_str());
    auto fail = [&](AppError::Number number, const QString& why) {
        return AppError::make(number, name + QStringLiteral(": ") + why);
    };
    auto refuseNonRegular = [&](const struct stat& st) {
        if (S_ISDIR(st.st_mode))
            throw fail(AppError::PathFileAccessError, QStringLiteral("is a directory, not a recording"));
        if (!S_ISREG(st.st_mode))
            throw fail(AppError::PathFileAccessError,
                       QStringLiteral("is not a regular file (a pipe, socket or device); only recordings "
                                      "stored as files can be decoded"));
    };
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0) {
        const int e = errno;
        if (e == ENOENT || e == ENOTDIR)
            throw fail(AppError::FileNotFound, QStringLiteral("no such file"));
        if (e == EACCES)
            throw fail(AppError::PermissionDenied, QStringLiteral("the file cannot be read"));
        throw fail(AppError::PathFileAccessError, QString::fromLocal8Bit(std::strerror(e)));
    }
    refuseNonRegular(st);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        throw fail(e == EACCES ? AppError::PermissionDenied : AppError::PathFileAccessError,
                   QString::fromLocal8Bit(std::strerror(e)));
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        refuseNonRegular(st);
    }
    return fd;
}

void closeDescriptor(int fd)
{
    ::close(fd);
}

void useBinaryStandardInput() {}

void clearReadOnly(const QString& path)
{
    changeOwnerWrite(path, true);
}

void setReadOnly(const QString& path)
{
    changeOwnerWrite(path, false);
}

} // namespace quillfen
