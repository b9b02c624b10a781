// The Windows platform layer through the system's own calls: priority classes, children started
// hidden that receive their arguments intact, waiting for them and ending them, files replaced
// whole, and the one-copy lock seen from a second process.
#include "platform/app_error.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/session.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <windows.h>

using namespace quillfen;

namespace {

const QString kChild = QStringLiteral(QUILLFEN_TEST_PLATFORM_CHILD);

int runChild(const QStringList& args)
{
    const auto pid = startProcessHidden(kChild, args, QString(), nullptr);
    const auto end = reapChild(pid);
    return end ? end->code : -1;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

} // namespace

TEST(SetPriority, belowNormalTakesEffectAndUnknownClassesAreRefused)
{
    const DWORD before = ::GetPriorityClass(::GetCurrentProcess());
    EXPECT_EQ(SetPriority(0x12345), 0);
    EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), before);
    EXPECT_EQ(SetPriority(Priority::BelowNormal), -1);
    EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), DWORD(BELOW_NORMAL_PRIORITY_CLASS));
    SetPriority(Priority::Normal);
}

// The command line is one string on Windows; each child splits it again. Quotes, backslashes before
// them and at the end, empty arguments and shell characters must all come through as they were.
TEST(StartProcessHidden, argumentsArriveExactlyAsTheyWereGiven)
{
    QTemporaryDir dir;
    const QStringList args{"plain",     "with space", "\"quoted\"",       "trailing\\",  "two\\\\",
                           "a\\\"b",    "",           "%PATH%",           "a&b|c<d>e^f", "-leading",
                           "new\nline", "tab\there",  "caf\u00e9 \u65e5", "end \\"};
    const QString file = dir.filePath("args.bin");
    EXPECT_EQ(runChild(QStringList{"args", file} + args), 7);
    QStringList received;
    for (const QByteArray& a : readFile(file).split('\0'))
        received << QString::fromUtf8(a);
    received.removeLast(); // after the final NUL
    EXPECT_EQ(received, args);
}

TEST(WaitForProcess, aRunningChildOutlastsAShortWaitEndsWhenAskedAndIsThenGone)
{
    const auto pid = startProcessHidden(kChild, {"wait"}, QString(), nullptr);
    EXPECT_EQ(WaitForProcess(pid, 0), -1); // the wait worked; the child runs on
    EXPECT_FALSE(waitForProcessEnd(pid, 50));
    ASSERT_TRUE(terminateProcess(pid));
    EXPECT_TRUE(waitForProcessEnd(pid, 10000));
    const auto end = reapChild(pid);
    ASSERT_TRUE(end.has_value());
    EXPECT_TRUE(end->exited);
    EXPECT_EQ(end->code, 1);                  // what the request ends it with
    EXPECT_FALSE(reapChild(pid).has_value()); // collected once only
}

// (Not named after the call: windows.h makes that a macro.)
TEST(FileReplacement, theNewFileTakesTheNameWholeAndAMissingOneIsAnErrorThatKeepsTheOld)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("out.wav");
    const QString next = dir.filePath("out.wav.new");

    ASSERT_TRUE(writeFile(next, "first"));
    replaceFile(next, target); // nothing there yet
    EXPECT_EQ(readFile(target), "first");
    EXPECT_FALSE(QFile::exists(next));

    ASSERT_TRUE(writeFile(next, "second"));
    replaceFile(next, target);
    EXPECT_EQ(readFile(target), "second");
    EXPECT_FALSE(QFile::exists(next));

    setReadOnly(target);
    EXPECT_TRUE(isReadOnly(target));
    clearReadOnly(target);
    EXPECT_FALSE(isReadOnly(target));

    // A source that is gone is an error naming the target, and the target stays.
    EXPECT_THROW(replaceFile(dir.filePath("missing"), target), AppError);
    EXPECT_EQ(readFile(target), "second");
}

TEST(PreviousInstance, aSecondProcessSeesTheFirstCopyAndAsksItForward)
{
    int argc = 1;
    char name[] = "platform_win_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const QString program = QStringLiteral("QuillfenInstanceTest");

    EXPECT_EQ(runChild({"instance", program}), 0);  // nobody holds it yet
    ASSERT_FALSE(previousInstanceRunning(program)); // now this process does
    int asked = 0;
    setActivationHandler([&] { ++asked; });
    EXPECT_EQ(runChild({"instance", program}), 1);
    QElapsedTimer waited;
    waited.start();
    while (asked == 0 && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(asked, 1);

    setActivationHandler({});
    releaseInstanceLock();
    EXPECT_EQ(runChild({"instance", program}), 0); // given back
    // Another program's name is another lock.
    ASSERT_FALSE(previousInstanceRunning(program));
    EXPECT_EQ(runChild({"instance", QStringLiteral("QuillfenOtherProgram")}), 0);
    releaseInstanceLock();
}

TEST(RemoteSession, aLocalDesktopIsNoRemoteSession)
{
    EXPECT_EQ(quillfen::GetSystemMetrics(SystemMetric::RemoteSession), 0);
    setRemoteSessionForTesting(true);
    EXPECT_NE(quillfen::GetSystemMetrics(SystemMetric::RemoteSession), 0);
    setRemoteSessionForTesting(false);
}
