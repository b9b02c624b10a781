#include "platform/session.h"

#include "platform/app_error.h"
#include "platform/save_dialog.h"

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

class CancellingSaveDialog final : public SaveDialog
{
public:
    QString ShowSave(const SaveDialogRequest&) override
    {
        throw AppError(kCancelErrorNumber, QStringLiteral("Cancel was selected."));
    }
};

CancellingSaveDialog g_defaultDialog;
SaveDialog* g_dialog = nullptr;

} // namespace

namespace {
bool g_remoteForTesting = false;
} // namespace

int GetSystemMetrics(int index)
{
    return index == SM_REMOTESESSION && g_remoteForTesting ? 1 : 0;
}

void setRemoteSessionForTesting(bool remote)
{
    g_remoteForTesting = remote;
}

QString defaultOutputFileName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\TTYOutput.wav");
#else
    return QDir::homePath() + QStringLiteral("/TTYOutput.wav");
#endif
}

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

SaveDialog& saveDialog()
{
    return g_dialog ? *g_dialog : g_defaultDialog;
}

void setSaveDialog(SaveDialog* dialog)
{
    g_dialog = dialog;
}

} // namespace quillfen
