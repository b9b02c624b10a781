#include "conversion/prompt_sets.h"

#include "conversion/log.h"
#include "platform/app_error.h"
#include "platform/files.h"
#include "platform/process.h"
#include "version.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QScopeGuard>
#include <QStandardPaths>

#include <mutex>

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
    const ChildLog errors;

    const QStringList arguments{
        QStringLiteral("--encoding"),       encodingKeyword(format.encoding), QStringLiteral("--rate"),
        QString::number(format.sampleRate), QStringLiteral("--level"),        levelText(format.levelTenths),
        QStringLiteral("--baud"),           baudKeyword(format.baud),         into};
    qCDebug(lcConversion) << "making the prompt set" << promptSetKey(format) << "with" << generator;
    const std::int64_t pid = startProcessHidden(generator, arguments, programDir, &errors);
    WaitForProcess(pid, kInfiniteWait);
    const auto exit = reapChild(pid);
    if (exit && exit->exited && exit->code == 0)
        return;
    QString why = errors.text();
    if (why.isEmpty())
        why = !exit           ? QStringLiteral("%1's end could not be observed").arg(kGenerator)
              : !exit->exited ? QStringLiteral("%1 was ended by signal %2").arg(kGenerator).arg(exit->code)
                              : QStringLiteral("%1 ended with status %2").arg(kGenerator).arg(exit->code);
    throw AppError(AppError::PathFileAccessError, why);
}

// Every set carries a manifest, written last: which generator made it for which format, and each
// prompt's size and SHA-256. A set that does not match its manifest (a prompt missing, replaced or
// swapped; a set from elsewhere) is never joined: it is moved aside and made again.
const QString kManifest = QStringLiteral("set.manifest");
// A set is made in a hidden building folder beside its place, ".<key>-<random>", and renamed into
// place whole. Its maker holds the lock file ".<key>-<random>.lock", made locked before the folder
// and removed after it: a building folder whose lock is free, or that has none, was left by a maker
// that is gone (its children included, which hold the lock with it).
const QString kLockSuffix = QStringLiteral(".lock");
const QString kAside = QStringLiteral("-aside-");

QByteArray manifestHeader(const OutputFormat& format)
{
    return "quillfen prompt set 1\ngenerator " + QByteArray(version::kText) + "\nformat " +
           promptSetKey(format).toUtf8() + "\nbaud " + baudKeyword(format.baud).toUtf8() + '\n';
}

// The manifest `set` would need: its header, then "sha256 size name" per prompt, by name.
// Empty when a prompt cannot be read.
QByteArray manifestFor(const QString& set, const OutputFormat& format)
{
    QByteArray manifest = manifestHeader(format);
    const QDir dir(set);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
        if (name == kManifest)
            continue;
        QFile prompt(dir.filePath(name));
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (!prompt.open(QIODevice::ReadOnly) || !hash.addData(&prompt))
            return {};
        manifest += hash.result().toHex() + ' ' + QByteArray::number(prompt.size()) + ' ' +
                    QFile::encodeName(name) + '\n';
    }
    return manifest;
}

// How one entry of a set looked.
struct EntryLook
{
    QString name;
    qint64 size = 0;
    qint64 modifiedMs = 0;
    qint64 changedMs = 0;

    bool operator==(const EntryLook&) const = default;
};

QList<EntryLook> lookOf(const QDir& dir, const QStringList& names)
{
    QList<EntryLook> look;
    look.reserve(names.size());
    for (const QString& name : names) {
        const QFileInfo info(dir.filePath(name));
        look << EntryLook{name, info.size(), info.lastModified().toMSecsSinceEpoch(),
                          info.metadataChangeTime().toMSecsSinceEpoch()};
    }
    return look;
}

// How each set's entries looked when its prompts last matched their manifest. Writing a file, or
// putting another in its place, gives it a new change time, which nobody can set back; so a set
// whose entries all look as they did then holds the same bytes and need not be hashed again, which
// spares a run that joins many messages from one set the hashing of every prompt each time.
class SoundSets
{
public:
    bool lookAsWhenSound(const QString& key, const QList<EntryLook>& look)
    {
        const std::lock_guard guard(m_lock);
        const auto known = m_sets.constFind(key);
        return known != m_sets.cend() && *known == look;
    }
    void remember(const QString& key, const QList<EntryLook>& look)
    {
        const std::lock_guard guard(m_lock);
        m_sets.insert(key, look);
    }

private:
    std::mutex m_lock;
    QHash<QString, QList<EntryLook>> m_sets;
};

SoundSets& soundSets()
{
    static SoundSets sets;
    return sets;
}

// A set may be joined when it is the user's own, nobody else may write it or its prompts, and its
// prompts are the ones its manifest lists, byte for byte.
bool isSound(const QString& set, const OutputFormat& format)
{
    if (!isOwnPrivate(set))
        return false;
    const QDir dir(set);
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names)
        if (!isOwnPrivate(dir.filePath(name)))
            return false;
    // Looked at before the hashing, so that a change while it runs shows the next time.
    const QList<EntryLook> look = lookOf(dir, names);
    const QString key = set + QLatin1Char('\n') + QString::fromUtf8(manifestHeader(format));
    if (soundSets().lookAsWhenSound(key, look))
        return true;
    QFile stored(dir.filePath(kManifest));
    if (!stored.open(QIODevice::ReadOnly) || stored.size() > qint64{64} * 1024)
        return false;
    const QByteArray manifest = stored.readAll();
    if (!manifest.startsWith(manifestHeader(format)) || manifest != manifestFor(set, format))
        return false;
    soundSets().remember(key, look);
    return true;
}

// Out of the way under a name the sweep below takes away, whoever's it is.
void moveAside(const QString& set, const QString& cacheRoot, const QString& key)
{
    const QString aside = QDir(cacheRoot).filePath(QLatin1Char('.') + key + kAside +
                                                   QString::number(QDateTime::currentMSecsSinceEpoch()));
    qCDebug(lcConversion) << "the prompt set" << set << "does not match its manifest; made again";
    if (!QDir().rename(set, aside) && QFileInfo::exists(set))
        throw AppError::make(AppError::PathFileAccessError, set,
                             QStringLiteral("a damaged prompt set that cannot be moved aside"));
    QDir(aside).removeRecursively();
}

// Takes away what makers that are gone (killed part way) left, and sets moved aside.
void sweepAbandoned(const QString& cacheRoot)
{
    const QDir root(cacheRoot);
    // Picked out here rather than with a name filter: filters are regular expressions, and their
    // per-thread state crashes the Windows build as a message set's worker thread ends.
    QStringList hidden;
    for (const QString& name : root.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        if (name.startsWith(u'.'))
            hidden << name;
    for (const QString& name : hidden) {
        const QString path = root.filePath(name);
        if (name.endsWith(kLockSuffix)) {
            const auto lock = FileLock::tryTake(path, false);
            if (!lock)
                continue; // its maker is at work
            QDir(path.chopped(kLockSuffix.size())).removeRecursively();
            QFile::remove(path);
        } else if (QFileInfo(path).isDir() && !hidden.contains(name + kLockSuffix)) {
            qCDebug(lcConversion) << "removing the abandoned" << path;
            QDir(path).removeRecursively();
        }
    }
}

void writeManifest(const QString& set, const OutputFormat& format)
{
    // Whatever the user's umask: a prompt others could write would fail the check on every run.
    const QDir dir(set);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden))
        QFile::setPermissions(dir.filePath(name),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    const QByteArray manifest = manifestFor(set, format);
    QSaveFile file(QDir(set).filePath(kManifest));
    if (manifest.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(manifest) != manifest.size() ||
        !file.commit())
        throw AppError::make(AppError::PathFileAccessError, set, QStringLiteral("cannot write its manifest"));
}

} // namespace

QString defaultPromptCache()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/quillfen/") + QLatin1String(version::kText);
}

QString promptSetDirectory(const OutputFormat& format, const QString& programDir, const QString& cacheRoot)
{
    if (QFileInfo(cacheRoot).isDir())
        sweepAbandoned(cacheRoot);
    if (usesStandardPrompts(format))
        return programDir;
    const QString key = promptSetKey(format);
    QString set = QDir(cacheRoot).filePath(key);
    if (QFileInfo(set).isDir() || QFileInfo(set).isSymLink()) {
        if (isSound(set, format))
            return set;
        moveAside(set, cacheRoot, key);
    }

    if (!QDir().mkpath(cacheRoot))
        throw AppError::make(AppError::PathFileAccessError, cacheRoot, QStringLiteral("cannot create it"));
    QString building;
    std::unique_ptr<FileLock> makerLock;
    for (int attempt = 0; !makerLock && attempt < 16; ++attempt) {
        building = QDir(cacheRoot).filePath(QLatin1Char('.') + key + QLatin1Char('-') +
                                            QString::number(QRandomGenerator::global()->generate(), 36));
        makerLock = FileLock::createLocked(building + kLockSuffix);
    }
    if (!makerLock || !QDir().mkdir(building))
        throw AppError::make(AppError::PathFileAccessError, cacheRoot,
                             QStringLiteral("cannot make a folder there"));
    // Whatever happens below: the folder goes, then its lock (never the other way round).
    const auto cleanUp = qScopeGuard([&] {
        QDir(building).removeRecursively();
        QFile::remove(building + kLockSuffix);
    });
    // ttyprompts may outlive a run that is killed: the folder is still being made while it writes.
    makerLock->shareWithChildren();
    generate(format, programDir, building);
    writeManifest(building, format);
    // Never over an existing set: when another run got there first, its set is as good as ours.
    if (!QDir().rename(building, set) && !QFileInfo(set).isDir())
        throw AppError::make(AppError::PathFileAccessError, set,
                             QStringLiteral("cannot move the new set there"));
    return set;
}

} // namespace quillfen
