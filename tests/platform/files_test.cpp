#include "platform/files.h"

#include <gtest/gtest.h>

using namespace quillfen;

TEST(OutputPath, aRelativeNameLiesBesideTheDefaultOutputAndAnAbsoluteOneIsItself)
{
    const struct
    {
        const char* name;
        const char* path;
    } cases[] = {
        {"greeting.wav", "/base/greeting.wav"},
        {"LTRS.wav", "/base/LTRS.wav"},
        {"sub dir/a.wav", "/base/sub dir/a.wav"},
        {"./a.wav", "/base/a.wav"},
        {"~/a.wav", "/home/me/a.wav"},
        {"~x.wav", "/base/~x.wav"},
        {"/tmp/a.wav", "/tmp/a.wav"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(absoluteOutputPath(c.name, "/base", "/home/me"), QString(c.path)) << c.name;
}

TEST(TextFile, theByteOrderMarkNamesTheEncodingElseUtf8ElseLatin1AndLineEndsBecomeLf)
{
    const struct
    {
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"GA SK", "GA SK"},
        {"line 1\r\nline 2\rline 3\n", "line 1\nline 2\nline 3\n"},
        {"\xEF\xBB\xBF"
         "caf\xC3\xA9",
         QString::fromUtf8("caf\xC3\xA9")},
        {QByteArray("\xFF\xFEH\0i\0", 6), "Hi"},
        {"caf\xE9 \x80", QString::fromLatin1("caf\xE9 \x80")}, // not UTF-8
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(textFromFile(c.bytes), c.text) << c.bytes.toHex().toStdString();
}
