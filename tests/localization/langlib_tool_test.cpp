// Runs the built langlib as the build does: writing libraries from sources and dumping them.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Langlib, dumpsEscapedTextInIdOrderAndRefusesABadSource)
{
    QTemporaryDir dir;
    auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    QProcess langlib;
    auto run = [&](const QStringList& args) {
        langlib.start(QStringLiteral(LANGLIB_PROGRAM), args);
        EXPECT_TRUE(langlib.waitForFinished(30000));
        return langlib.exitStatus() == QProcess::NormalExit ? langlib.exitCode() : -1;
    };
    ASSERT_TRUE(write("t.rc", "LANGUAGE 0x0C, 0x01\nSTRINGTABLE\nBEGIN\n"
                              "  20, \"back\\\\slash\\ttab\\r\\nline\"\n"
                              "  2, \"ctl \\x01 \\x1F del \\x7F \xC3\xA9 \xF0\x9F\x98\x80\"\n"
                              "  5, \"\"\nEND\n"));
    ASSERT_EQ(run({dir.filePath("t.rc"), dir.filePath("Quillfen_FRA.dll")}), 0);
    EXPECT_EQ(run({"--dump", dir.filePath("Quillfen_FRA.dll")}), 0);
    EXPECT_EQ(langlib.readAllStandardOutput().toStdString(),
              "2\tctl \\x01 \\x1F del \\x7F \xC3\xA9 \xF0\x9F\x98\x80\n"
              "20\tback\\\\slash\\ttab\\r\\nline\n");

    // A bad source: file and line named, nothing written, the earlier output left alone.
    ASSERT_TRUE(write("bad.rc", "STRINGTABLE\nBEGIN\n 1, \"ok\"\n 2, \"never closed\nEND\n"));
    ASSERT_TRUE(write("out.dll", "earlier library"));
    EXPECT_EQ(run({dir.filePath("bad.rc"), dir.filePath("out.dll")}), 1);
    const QByteArray err = langlib.readAllStandardError();
    EXPECT_TRUE(err.startsWith(("langlib: " + dir.filePath("bad.rc") + ":4: ").toUtf8()))
        << err.toStdString();
    EXPECT_TRUE(langlib.readAllStandardOutput().isEmpty());
    QFile out(dir.filePath("out.dll"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll(), "earlier library");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"bad.rc", "out.dll", "Quillfen_FRA.dll", "t.rc"}));
}
