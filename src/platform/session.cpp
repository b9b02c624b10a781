#include "platform/session.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#include <memory>

namespace quillfen {
namespace {

std::unique_ptr<QLockFile>& instanceLock()
{
    static std::unique_ptr<QLockFile> lock;
    return lock;
}

} // namespace

bool previousInstanceRunning(const QString& executableName)
{
    auto& lock = instanceLock();
    if (lock && lock->isLocked())
        return false;
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    lock = std::make_unique<QLockFile>(QDir(dir).filePath(executableName + QStringLiteral(".instance.lock")));
    // Only a dead owner makes a lock stale; a long-running first copy keeps it.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        return false;
    // A lock we cannot take for another reason than a live owner must not keep the program from starting.
    return lock->error() == QLockFile::LockFailedError;
}

void releaseInstanceLock()
{
    instanceLock().reset();
}

} // namespace quillfen
