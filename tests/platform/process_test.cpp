#include "platform/app_error.h"
#include "platform/process.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>

using namespace quillfen;

namespace {

std::int64_t startShell(const QString& script, const QStringList& args = {}, const QString& stderrPath = {})
{
    return startProcessHidden("/bin/sh", QStringList{"-c", script, "sh"} + args, QString(), stderrPath);
}

bool isRunning(std::int64_t pid)
{
    return ::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG) == 0;
}

} // namespace

TEST(WaitForProcess, processThatIsGoneFailsAtOnce)
{
    const auto pid = startShell("exit 0");
    ASSERT_TRUE(reapChild(pid).has_value());
    // With no time-out, anything but an immediate failure would hang here.
    EXPECT_EQ(WaitForProcess(pid, INFINITE_WAIT), 0);
    EXPECT_EQ(WaitForProcess(0, INFINITE_WAIT), 0);
    EXPECT_EQ(WaitForProcess(-5, 0), 0);
}

TEST(WaitForProcess, timeoutZeroOnARunningProcessReturnsTrueAndLeavesItRunning)
{
    const auto pid = startShell("exec sleep 30");
    EXPECT_EQ(WaitForProcess(pid, 0), -1);
    EXPECT_EQ(WaitForProcess(pid, 50), -1);
    EXPECT_TRUE(isRunning(pid));
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    const auto exit = reapChild(pid);
    ASSERT_TRUE(exit.has_value());
    EXPECT_FALSE(exit->exited);
    EXPECT_EQ(exit->code, SIGKILL);
}

TEST(WaitForProcess, infiniteWaitReturnsOnceTheProcessHasEndedWithoutReapingIt)
{
    const auto pid = startShell("sleep 0.2; exit 7");
    EXPECT_EQ(WaitForProcess(pid, INFINITE_WAIT), -1);
    // The exit status is still ours to collect.
    const auto exit = reapChild(pid);
    ASSERT_TRUE(exit.has_value());
    EXPECT_TRUE(exit->exited);
    EXPECT_EQ(exit->code, 7);
}

TEST(StartProcessHidden, argumentsArriveExactlyAndStandardErrorIsKept)
{
    QTemporaryDir dir;
    const QStringList args{"plain", "with space", "\"quoted\"", "'single'",   "-leading",  "--help",
                           "",      "$HOME",      "*",          "semi;colon", "new\nline", "caf\u00e9"};
    const QString errors = dir.filePath("err.txt");
    // The child finds OUT in the environment it inherits.
    qputenv("OUT", QFile::encodeName(dir.filePath("args.bin")));
    const auto pid2 = startShell("printf '%s\\0' \"$@\" > \"$OUT\"; echo complaint >&2", args, errors);
    ASSERT_EQ(WaitForProcess(pid2, INFINITE_WAIT), -1);
    ASSERT_TRUE(reapChild(pid2).has_value());
    qunsetenv("OUT");

    QFile f(dir.filePath("args.bin"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QList<QByteArray> got = f.readAll().split('\0');
    got.removeLast();
    QStringList received;
    for (const QByteArray& a : got)
        received << QString::fromUtf8(a);
    EXPECT_EQ(received, args);

    QFile err(errors);
    ASSERT_TRUE(err.open(QIODevice::ReadOnly));
    EXPECT_EQ(err.readAll(), QByteArray("complaint\n"));
}

TEST(StartProcessHidden, workingDirectoryIsTheOneGiven)
{
    QTemporaryDir dir;
    const auto pid = startProcessHidden("/bin/sh", {"-c", "pwd > where.txt"}, dir.path(), {});
    reapChild(pid);
    QFile f(dir.filePath("where.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().trimmed(), QFile::encodeName(dir.path()));
}

TEST(StartProcessHidden, programThatCannotStartRaisesAnError)
{
    QTemporaryDir dir;
    try {
        startProcessHidden(dir.filePath("missing"), {}, {}, {});
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number, AppError::FileNotFound);
        EXPECT_TRUE(e.description.contains("missing"));
    }
    QFile notExecutable(dir.filePath("plain.txt"));
    ASSERT_TRUE(notExecutable.open(QIODevice::WriteOnly));
    notExecutable.close();
    try {
        startProcessHidden(notExecutable.fileName(), {}, {}, {});
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(e.number, AppError::PermissionDenied);
    }
}

TEST(SetPriority, belowNormalTakesEffectAndUnknownClassesAreRefused)
{
    EXPECT_EQ(SetPriority(0x12345), 0);
    EXPECT_EQ(SetPriority(BELOW_NORMAL_PRIORITY_CLASS), -1);
    EXPECT_EQ(::getpriority(PRIO_PROCESS, 0), 10);
    // A process started from here inherits the lowered priority.
    QTemporaryDir dir;
    qputenv("OUT", QFile::encodeName(dir.filePath("nice.txt")));
    const auto pid = startShell("nice > \"$OUT\"");
    reapChild(pid);
    qunsetenv("OUT");
    QFile f(dir.filePath("nice.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().trimmed(), QByteArray("10"));
}
