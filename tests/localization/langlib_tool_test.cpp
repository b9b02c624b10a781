// Runs the built langlib as the build does: writing libraries from sources and dumping them.
#include "test_support.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace quillfen::testing;

TEST(Langlib, dumpsEscapedTextInIdOrderAndRefusesABadSource)
{
    QTemporaryDir dir;
    const auto langlib = [](const QStringList& args) {
        return runProgram(QStringLiteral(LANGLIB_PROGRAM), args);
    };
    ASSERT_TRUE(writeFile(dir.filePath("t.rc"),
                          "LANGUAGE 0x0C, 0x01\nSTRINGTABLE\nBEGIN\n"
                          "  20, \"back\\\\slash\\ttab\\r\\nline\"\n"
                          "  2, \"ctl \\x01 \\x1F del \\x7F \xC3\xA9 \xF0\x9F\x98\x80\"\n"
                          "  5, \"\"\nEND\n"));
    ASSERT_EQ(langlib({dir.filePath("t.rc"), dir.filePath("Quillfen_FRA.dll")}).exitCode, 0);
    const Ran dump = langlib({"--dump", dir.filePath("Quillfen_FRA.dll")});
    EXPECT_EQ(dump.exitCode, 0);
    EXPECT_EQ(dump.out.toStdString(), "2\tctl \\x01 \\x1F del \\x7F \xC3\xA9 \xF0\x9F\x98\x80\n"
                                      "20\tback\\\\slash\\ttab\\r\\nline\n");

    // A bad source: file and line named, nothing written, the earlier output left alone.
    ASSERT_TRUE(
        writeFile(dir.filePath("bad.rc"), "STRINGTABLE\nBEGIN\n 1, \"ok\"\n 2, \"never closed\nEND\n"));
    ASSERT_TRUE(writeFile(dir.filePath("out.dll"), "earlier library"));
    const Ran bad = langlib({dir.filePath("bad.rc"), dir.filePath("out.dll")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.startsWith("langlib: " + dir.filePath("bad.rc") + ":4: ")) << bad.err.toStdString();
    EXPECT_TRUE(bad.out.isEmpty());
    EXPECT_EQ(fileBytes(dir.filePath("out.dll")), "earlier library");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"bad.rc", "out.dll", "Quillfen_FRA.dll", "t.rc"}));
}
