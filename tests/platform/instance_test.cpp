#include "platform/session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillfen;

namespace {

constexpr uid_t kOtherUser = 65534; // nobody

// Sets the variables for one case and gives them back afterwards.
class Environment
{
public:
    Environment(std::initializer_list<std::pair<const char*, QByteArray>> values)
    {
        for (const auto& [name, value] : values) {
            m_saved.emplace_back(name, qgetenv(name), qEnvironmentVariableIsSet(name));
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }
    ~Environment()
    {
        for (const auto& [name, value, set] : m_saved)
            set ? qputenv(name, value) : qunsetenv(name);
    }

private:
    std::vector<std::tuple<const char*, QByteArray, bool>> m_saved;
};

bool makeFolder(const QString& path, mode_t mode, uid_t owner = ::geteuid())
{
    const QByteArray p = QFile::encodeName(path);
    return QDir().mkpath(path) && ::chmod(p.constData(), mode) == 0 &&
           (owner == ::geteuid() || ::chown(p.constData(), owner, owner) == 0);
}

} // namespace

// Another local user cannot stop the program by squatting the lock where a shared folder would be used:
// the lock goes only to a folder that is this user's alone, or nowhere, and the program starts.
TEST(InstanceLock, liesOnlyInAFolderOfThisUsersOwnAndASquatterCannotStopTheStart)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString tmp = root.filePath("tmp"), cache = root.filePath("cache");
    const QString runtime = root.filePath("runtime");
    const QString deep = root.filePath(QString(150, QLatin1Char('d')));
    const QString own = QDir(cache).filePath("quillfen-runtime");
    ASSERT_TRUE(makeFolder(tmp, 01777) && makeFolder(runtime, 0700) && makeFolder(deep, 0700));
    // The other user's lock in the shared folder, held for the whole test.
    const int squat =
        ::open(QFile::encodeName(tmp + "/Quillfen.instance.lock").constData(), O_RDWR | O_CREAT, 0666);
    ASSERT_GE(squat, 0);
    ASSERT_EQ(::flock(squat, LOCK_EX | LOCK_NB), 0);

    const QString qtFallback = tmp + "/runtime-" + qEnvironmentVariable("USER", "root");
    const QByteArray unset;
    const auto nothing = [] { return true; };
    const struct
    {
        const char* what;
        QByteArray runtimeDir; // null: unset
        std::function<bool()> prepare;
        QString expected; // empty: no safe place
    } cases[] = {
        {"the runtime folder", QFile::encodeName(runtime), nothing, runtime},
        {"a runtime folder too deep for a socket path", QFile::encodeName(deep), nothing, deep},
        {"Qt's own fallback, made private", unset, nothing, qtFallback},
        // Made first by someone else, so Qt refuses it: the lock must not go to the shared folder.
        {"Qt's fallback squatted", unset, [&] { return makeFolder(qtFallback, 0777); }, own},
        {"our own folder made writable by others", unset, [&] { return makeFolder(own, 0777); }, QString()},
        {"our own folder back in order", unset, [&] { return makeFolder(own, 0700); }, own},
        {"our own folder replaced by a link", unset,
         [&] { return QDir(own).removeRecursively() && QFile::link(runtime, own); }, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Environment env{{"XDG_RUNTIME_DIR", c.runtimeDir},
                              {"TMPDIR", QFile::encodeName(tmp)},
                              {"XDG_CACHE_HOME", QFile::encodeName(cache)}};
        ASSERT_TRUE(c.prepare());
        EXPECT_EQ(privateInstanceFolder(), c.expected);
        EXPECT_FALSE(previousInstanceRunning("Quillfen"));
        // The first copy holds the lock: a second start in the same place sees it.
        if (!c.expected.isEmpty()) {
            EXPECT_TRUE(QFile::exists(c.expected + "/Quillfen.instance.lock"));
            releaseInstanceLock();
            const int other =
                ::open(QFile::encodeName(c.expected + "/Quillfen.instance.lock").constData(), O_RDWR);
            ASSERT_GE(other, 0);
            ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
            EXPECT_TRUE(previousInstanceRunning("Quillfen"));
            ::close(other);
        }
        releaseInstanceLock();
    }
    // A folder of another user's is not ours, private as it may be.
    if (::geteuid() == 0) {
        const Environment env{{"XDG_RUNTIME_DIR", QFile::encodeName(runtime)},
                              {"TMPDIR", QFile::encodeName(tmp)},
                              {"XDG_CACHE_HOME", QFile::encodeName(cache)}};
        ASSERT_TRUE(QFile::remove(own) && makeFolder(own, 0700, kOtherUser) &&
                    makeFolder(runtime, 0700, kOtherUser));
        EXPECT_EQ(privateInstanceFolder(), QString());
        EXPECT_FALSE(previousInstanceRunning("Quillfen"));
        releaseInstanceLock();
    }
    ::close(squat);
    EXPECT_EQ(QDir(tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({"Quillfen.instance.lock", QFileInfo(qtFallback).fileName()}));
}
