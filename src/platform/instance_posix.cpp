// The previous-instance test and the way a later copy reaches the first one. The lock is an flock
// the kernel drops with its process, so a copy that was killed leaves nothing stale behind, and
// taking it writes and syncs nothing. Beside it lies a Unix socket on which the first copy listens:
// a later copy connects once and ends, and the first copy comes forward.
#include "platform/session.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/socket.h>
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

// False when the path is too long for a socket address.
bool socketAddress(const QByteArray& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return true;
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

void listenForLaterCopies(const QByteArray& path)
{
    Instance& i = instance();
    sockaddr_un address{};
    if (!socketAddress(path, address))
        return;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    // Only the holder of the lock binds here: whatever lies at the path was left by an earlier holder.
    ::unlink(path.constData());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0) {
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

void askFirstCopyForward(const QByteArray& path)
{
    sockaddr_un address{};
    if (!socketAddress(path, address))
        return;
    // Non-blocking: a first copy that is busy (waiting for wavcat) answers later, and this copy
    // ends at once either way.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    (void)::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::close(fd);
}

} // namespace

bool previousInstanceRunning(const QString& executableName)
{
    Instance& i = instance();
    if (i.lock >= 0)
        return false;
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    const QString base = QDir(dir).filePath(executableName + QStringLiteral(".instance"));
    const QByteArray lockPath = QFile::encodeName(base + QStringLiteral(".lock"));
    const QByteArray socketPath = QFile::encodeName(base + QStringLiteral(".socket"));
    const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // A lock we cannot take for another reason than a live owner must not keep the program from starting.
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        i.lock = fd;
        listenForLaterCopies(socketPath);
        return false;
    }
    const int error = errno;
    ::close(fd);
    if (error != EWOULDBLOCK)
        return false;
    askFirstCopyForward(socketPath);
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
