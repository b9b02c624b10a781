#include "string_table_source.h"

#include <gtest/gtest.h>

using namespace quillfen::strtab;

TEST(StringTableSource, readsIdsTextsEscapesAndLanguage)
{
    const Table t =
        parseSource("\xEF\xBB\xBF// comment\n#pragma code_page(65001)\nLANGUAGE 0x07, 0x01\n"
                    "STRINGTABLE\nBEGIN\n  0, \" Build \"\n  7 \"say \"\"hi\"\"\"\n"
                    "  0x10, \"a\\tb\\\\c\\nd\\x41\\\"\"\n  /* block */ 41, \"\xC3\xA9\xF0\x9F\x98\x80\"\n"
                    "  42, \"\"\nEND\n",
                    "x.rc");
    EXPECT_EQ(t.langId, 0x0407);
    ASSERT_EQ(t.entries.size(), 5u);
    EXPECT_EQ(t.entries[0].text, u" Build ");
    EXPECT_EQ(t.entries[1].text, u"say \"hi\"");
    EXPECT_EQ(t.entries[2].id, 16);
    EXPECT_EQ(t.entries[2].text, u"a\tb\\c\ndA\"");
    EXPECT_EQ(t.entries[3].text, u"\u00e9\U0001F600");
    EXPECT_EQ(t.entries[3].line, 9);
    EXPECT_EQ(t.entries[4].text, u"");
    EXPECT_EQ(parseSource("STRINGTABLE {\n 1, \"x\"\n}\n", "y.rc").langId, 0x0409); // no LANGUAGE: US English
}

TEST(StringTableSource, malformedSourcesNameFileAndLine)
{
    const std::pair<const char*, int> bad[] = {
        {"STRINGTABLE\nBEGIN\n 1, \"open\nEND\n", 3},
        {"STRINGTABLE\nBEGIN\n 1, \"a\"\n 1, \"b\"\nEND\n", 4},
        {"STRINGTABLE\nBEGIN\n 1, \"a\"\n", 4},
        {"STRINGTABLE\nBEGIN\n 70000, \"a\"\nEND\n", 3},
        {"STRINGTABLE\nBEGIN\n 1, \"bad \\q\"\nEND\n", 3},
        {"/* never closed\n", 1},
    };
    for (auto [source, line] : bad) {
        try {
            parseSource(source, "bad.rc");
            ADD_FAILURE() << "accepted: " << source;
        } catch (const SourceError& e) {
            EXPECT_EQ(e.line(), line) << source;
            EXPECT_EQ(std::string(e.what()).rfind("bad.rc:" + std::to_string(line) + ": ", 0), 0u)
                << e.what();
        }
    }
}
