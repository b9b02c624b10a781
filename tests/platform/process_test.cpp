#include "platform/process.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>

using namespace quillfen;

namespace {

std::int64_t startShell(const QString& script, const QStringList& args = {})
{
    return startProcessHidden("/bin/sh", QStringList{"-c", script, "sh"} + args, QString(), nullptr);
}

} // namespace

TEST(WaitForProcess, goneProcessFailsAtOnceAndTimeoutZeroLeavesARunningOneAlone)
{
    const auto gone = startShell("exit 0");
    ASSERT_TRUE(reapChild(gone).has_value());
    // With no time-out, anything but an immediate failure would hang here.
    EXPECT_EQ(WaitForProcess(gone, kInfiniteWait), 0);

    const auto pid = startShell("exec sleep 30");
    EXPECT_EQ(WaitForProcess(pid, 0), -1);
    EXPECT_EQ(::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG), 0); // still running
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    EXPECT_TRUE(reapChild(pid).has_value());
}

TEST(StartProcessHidden, argumentsArriveExactly)
{
    QTemporaryDir dir;
    const QStringList args{"plain", "with space", "\"quoted\"", "'single'",   "-leading",  "--help",
                           "",      "$HOME",      "*",          "semi;colon", "new\nline", "caf\u00e9"};
    const auto pid = startShell("out=$1; shift; printf '%s\\0' \"$@\" > \"$out\"",
                                QStringList{dir.filePath("args.bin")} + args);
    // An infinite wait returns once the process has ended, leaving its exit status to collect.
    ASSERT_EQ(WaitForProcess(pid, kInfiniteWait), -1);
    ASSERT_TRUE(reapChild(pid).has_value());

    QFile f(dir.filePath("args.bin"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QStringList received;
    for (const QByteArray& a : f.readAll().split('\0'))
        received << QString::fromUtf8(a);
    received.removeLast(); // after the final NUL
    EXPECT_EQ(received, args);
}

TEST(SetPriority, belowNormalTakesEffectAndUnknownClassesAreRefused)
{
    EXPECT_EQ(SetPriority(0x12345), 0);
    EXPECT_EQ(SetPriority(Priority::BelowNormal), -1);
    EXPECT_EQ(::getpriority(PRIO_PROCESS, 0), 10);
}
