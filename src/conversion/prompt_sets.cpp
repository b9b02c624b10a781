#include "conversion/prompt_sets.h"

#include "conversion/log.h"
#include "platform/app_error.h"
#include "platform/files.h"
#include "platform/process.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>

namespace quillfen {
namespace {

const QString kGenerator = QStringLiteral("ttyprompts");

void generate(const OutputFormat& format, const QString& programDir, const QString& into)
{
    const QString generator = findProgram(kGenerator, programDir);
    if (generator.isEmpty())
        throw AppError::make(
            AppError::FileNotFound,
            QStringLiteral("%1 is neither in %2 nor on the PATH").arg(kGenerator, programDir));
    QTemporaryFile errors(QDir::temp().filePath(QStringLiteral("quillfen-ttyprompts-XXXXXX.log")));
    if (!errors.open())
        throw AppError::make(AppError::PathFileAccessError,
                             QStringLiteral("cannot create a temporary file in %1").arg(QDir::tempPath()));
    errors.close();

    const QStringList arguments{QStringLiteral("--encoding"),
                                encodingKeyword(format.encoding),
                                QStringLiteral("--rate"),
                                QString::number(format.sampleRate),
                                QStringLiteral("--level"),
                                levelText(format.levelTenths),
                                into};
    qCDebug(lcConversion) << "making the prompt set" << promptSetKey(format) << "with" << generator;
    const std::int64_t pid = startProcessHidden(generator, arguments, programDir, errors.fileName());
    WaitForProcess(pid, kInfiniteWait);
    const auto exit = reapChild(pid);
    if (exit && exit->exited && exit->code == 0)
        return;
    QString why = childErrorText(errors.fileName());
    if (why.isEmpty())
        why = !exit           ? QStringLiteral("%1's end could not be observed").arg(kGenerator)
              : !exit->exited ? QStringLiteral("%1 was ended by signal %2").arg(kGenerator).arg(exit->code)
                              : QStringLiteral("%1 ended with status %2").arg(kGenerator).arg(exit->code);
    throw AppError(AppError::PathFileAccessError, why);
}

} // namespace

QString defaultPromptCache()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/quillfen/") + QLatin1String(version::kText);
}

QString promptSetDirectory(const OutputFormat& format, const QString& programDir, const QString& cacheRoot)
{
    if (usesStandardPrompts(format))
        return programDir;
    const QString key = promptSetKey(format);
    QString set = QDir(cacheRoot).filePath(key);
    if (QFileInfo(set).isDir())
        return set;

    if (!QDir().mkpath(cacheRoot))
        throw AppError::make(AppError::PathFileAccessError, cacheRoot, QStringLiteral("cannot create it"));
    QTemporaryDir building(QDir(cacheRoot).filePath(QLatin1Char('.') + key + QStringLiteral("-XXXXXX")));
    if (!building.isValid())
        throw AppError::make(AppError::PathFileAccessError, cacheRoot, building.errorString());
    generate(format, programDir, building.path());
    // Never over an existing set: when another run got there first, its set is as good as ours.
    if (!QDir().rename(building.path(), set) && !QFileInfo(set).isDir())
        throw AppError::make(AppError::PathFileAccessError, set,
                             QStringLiteral("cannot move the new set there"));
    if (QFileInfo(building.path()).exists())
        return set; // ours was the second; it goes with `building`
    building.setAutoRemove(false);
    return set;
}

} // namespace quillfen
