// The previous-instance test and the way a later copy reaches the first one. The lock is an flock
// the kernel drops with its process, so a copy that was killed leaves nothing stale behind, and
// taking it writes and syncs nothing. Beside it lies a Unix socket on which the first copy listens:
// a later copy connects once and ends, and the first copy comes forward.
//
// Both live only in a folder that this user owns and nobody else may write: a lock in a shared folder
// would let another local user stop the program from starting by holding it.
#include "platform/session.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace quillfen {
namespace {

struct Instance
{
    int lock = -1;
    int listener = -1;
    QByteArray socketPath;
    std::unique_ptr<QSocketNotifier> notifier;
    std::function<void()> handler;
};

Instance& instance()
{
    static Instance i;
    return i;
}

// A socket address for `name` inside the folder open as `dirFd`. A socket path holds only 107 bytes,
// so a folder deeper than that is reached through its descriptor, whose /proc path is always short.
sockaddr_un socketAddress(const QByteArray& dir, int dirFd, const QByteArray& name)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    QByteArray path = dir + '/' + name;
    if (path.size() >= qsizetype(sizeof address.sun_path))
        path = "/proc/self/fd/" + QByteArray::number(dirFd) + '/' + name;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return address;
}

// Calls `use` with the socket's address while the folder is held open.
template <typename Use> void withSocketAddress(const QByteArray& dir, const QByteArray& name, Use use)
{
    const int dirFd = ::open(dir.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return;
    const sockaddr_un address = socketAddress(dir, dirFd, name);
    use(address);
    ::close(dirFd);
}

void answerLaterCopies()
{
    Instance& i = instance();
    bool asked = false;
    for (int fd; (fd = ::accept4(i.listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
        ::close(fd);
        asked = true;
    }
    if (asked && i.handler)
        i.handler();
}

void listenForLaterCopies(const QByteArray& dir, const QByteArray& name)
{
    Instance& i = instance();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    const QByteArray path = dir + '/' + name;
    // Only the holder of the lock binds here: whatever lies at the path was left by an earlier holder.
    ::unlink(path.constData());
    bool bound = false;
    withSocketAddress(dir, name, [&](const sockaddr_un& address) {
        bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                ::listen(fd, 8) == 0;
    });
    if (!bound) {
        ::close(fd);
        return;
    }
    i.listener = fd;
    i.socketPath = path;
    if (QCoreApplication::instance()) {
        i.notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(i.notifier.get(), &QSocketNotifier::activated, [] { answerLaterCopies(); });
    }
}

void askFirstCopyForward(const QByteArray& dir, const QByteArray& name)
{
    // Non-blocking: a first copy that is busy (waiting for wavcat) answers later, and this copy
    // ends at once either way.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    withSocketAddress(dir, name, [fd](const sockaddr_un& address) {
        (void)::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    });
    ::close(fd);
}

// A folder is private when it is a real folder (not a link), this user's, and nobody else may write it.
bool isPrivateFolder(const QByteArray& path)
{
    struct stat st = {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Makes the folder 0700 if it is missing; a folder that exists must already be private.
bool makePrivateFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QByteArray encoded = QFile::encodeName(path);
    QDir().mkpath(QFileInfo(path).path());
    if (::mkdir(encoded.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return isPrivateFolder(encoded);
}

} // namespace

QString privateInstanceFolder()
{
    // Qt gives the runtime folder only when it belongs to this user and is 0700; it is checked again
    // here so that nothing depends on that. Without one, a folder of our own in the user's cache.
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && isPrivateFolder(QFile::encodeName(runtime)))
        return runtime;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    QString own = cache.isEmpty() ? QString() : QDir(cache).filePath(QStringLiteral("quillfen-runtime"));
    return makePrivateFolder(own) ? own : QString();
}

bool previousInstanceRunning(const QString& executableName)
{
    Instance& i = instance();
    if (i.lock >= 0)
        return false;
    const QString folder = privateInstanceFolder();
    if (folder.isEmpty()) {
        std::fprintf(stderr,
                     "%s: no private folder for the instance lock; starting without the one-copy check\n",
                     QFile::encodeName(executableName).constData());
        return false;
    }
    const QByteArray dir = QFile::encodeName(folder);
    const QByteArray base = QFile::encodeName(executableName) + ".instance";
    const QByteArray lockPath = dir + '/' + base + ".lock";
    const QByteArray socketName = base + ".socket";
    const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    // A lock we cannot take for another reason than a live owner must not keep the program from starting.
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        i.lock = fd;
        listenForLaterCopies(dir, socketName);
        return false;
    }
    const int error = errno;
    ::close(fd);
    if (error != EWOULDBLOCK)
        return false;
    askFirstCopyForward(dir, socketName);
    return true;
}

void releaseInstanceLock()
{
    Instance& i = instance();
    i.notifier.reset();
    // The socket goes while the lock is still held, so it is never a newer holder's.
    if (i.listener >= 0) {
        ::unlink(i.socketPath.constData());
        ::close(i.listener);
        i.listener = -1;
    }
    if (i.lock >= 0) {
        ::close(i.lock);
        i.lock = -1;
    }
}

void setActivationHandler(std::function<void()> handler)
{
    instance().handler = std::move(handler);
}

} // namespace quillfen
