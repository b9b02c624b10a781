// Runs the built langlib as the build does: writing libraries from sources and dumping them.
#include "pe_test_image.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillfen::testing;

namespace {

struct Result
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

class Langlib : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    void writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    Result run(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral(LANGLIB_PROGRAM), args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
                p.readAllStandardError()};
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Langlib, dumpListsIdTabAndEscapedTextInIdOrder)
{
    writeFile("t.rc", "LANGUAGE 0x0C, 0x01\nSTRINGTABLE\nBEGIN\n"
                      "  20, \"back\\\\slash\\ttab\\r\\nline\"\n"
                      "  2, \"ctl \\x01 \\x1F del \\x7F \xC3\xA9 \xF0\x9F\x98\x80\"\n"
                      "  5, \"\"\nEND\n");
    const Result made = run({path("t.rc"), path("Quillfen_FRA.dll")});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    EXPECT_TRUE(made.err.isEmpty());
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"Quillfen_FRA.dll", "t.rc"}));

    const Result dumped = run({"--dump", path("Quillfen_FRA.dll")});
    EXPECT_EQ(dumped.exitCode, 0);
    EXPECT_EQ(dumped.out.toStdString(), "2\tctl \\x01 \\x1F del \\x7F \xC3\xA9 \xF0\x9F\x98\x80\n"
                                        "20\tback\\\\slash\\ttab\\r\\nline\n");
}

TEST_F(Langlib, dumpPrefixesEachLanguageWhenThereAreSeveral)
{
    const std::string rsrc = stringResources(
        0x1000, {{1, 0x0407, {u"", u"eins"}}, {1, 0x0000, {u"", u"one"}}, {2, 0x0407, {u"", u"siebzehn"}}});
    const std::string image = peImage(true, {{rsrc, 0x1000, std::uint32_t(rsrc.size())}}, 0x1000, 16);
    writeFile("multi.dll", QByteArray::fromStdString(image));
    const Result dumped = run({"--dump", path("multi.dll")});
    EXPECT_EQ(dumped.exitCode, 0);
    EXPECT_EQ(dumped.out.toStdString(), "LANGUAGE 0x0000\n1\tone\nLANGUAGE 0x0407\n1\teins\n17\tsiebzehn\n");
}

TEST_F(Langlib, badSourceNamesFileAndLineAndLeavesTheOutputAlone)
{
    writeFile("bad.rc", "STRINGTABLE\nBEGIN\n 1, \"ok\"\n 2, \"never closed\nEND\n");
    writeFile("out.dll", "earlier library");
    const Result r = run({path("bad.rc"), path("out.dll")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.startsWith(("langlib: " + path("bad.rc") + ":4: ").toUtf8())) << r.err.toStdString();
    EXPECT_EQ(r.err.count('\n'), 1);
    EXPECT_TRUE(r.out.isEmpty());
    QFile out(path("out.dll"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll(), "earlier library");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"bad.rc", "out.dll"}));

    writeFile("good.rc", "STRINGTABLE\nBEGIN\n 1, \"ok\"\nEND\n");
    const Result unwritable = run({path("good.rc"), path("missing/out.dll")});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_TRUE(unwritable.err.startsWith(("langlib: " + path("missing/out.dll") + ": ").toUtf8()));
}

TEST_F(Langlib, unreadableLibrariesAndWrongArgumentsAreRefused)
{
    writeFile("text.dll", "not a library at all");
    for (const QString& name : {QStringLiteral("text.dll"), QStringLiteral("absent.dll")}) {
        const Result r = run({"--dump", path(name)});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, ("langlib: " + path(name) + ": not a valid language library\n").toUtf8());
        EXPECT_TRUE(r.out.isEmpty());
    }
    for (const QStringList& args : {QStringList(), QStringList({"only.rc"}), QStringList({"--dump"}),
                                    QStringList({"a.rc", "b.dll", "c"})}) {
        const Result r = run(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("usage: langlib")) << args.join(' ').toStdString();
    }
}
