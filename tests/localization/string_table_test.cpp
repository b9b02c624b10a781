// The own string table compiled into the program against the source it was generated from.
#include "localization/string_table.h"
#include "string_table_source.h"

#include <gtest/gtest.h>

using namespace quillfen;

TEST(OwnStringTable, holdsEverySourceTextExactlyAndNothingElse)
{
    const strtab::Table source = strtab::parseSourceFile(QUILLFEN_TEST_OWN_STRINGS_RC);
    ASSERT_FALSE(source.entries.empty());
    int highest = -1;
    for (const strtab::Entry& e : source.entries) {
        const QString expected = QString::fromUtf16(e.text.data(), qsizetype(e.text.size()));
        EXPECT_EQ(ownString(e.id), expected) << e.name;
        EXPECT_FALSE(e.name.empty()) << "id " << e.id << " has no name";
        highest = std::max(highest, e.id);
    }
    for (int id = -1; id <= highest + 1; ++id) {
        const bool inSource = std::any_of(source.entries.begin(), source.entries.end(),
                                          [id](const strtab::Entry& e) { return e.id == id; });
        EXPECT_EQ(ownString(id).has_value(), inSource) << id;
    }
    // The names the code uses stand for the ids the source gives them.
    EXPECT_EQ(ownString(IDS_CONVERSION_COMPLETE), "Converstion from text to TTY WAV file complete");
    EXPECT_EQ(ownString(IDS_ENTER_TEXT_FIRST),
              "You must first enter some text to convert into TTY/TDD WAV format.");
}

TEST(OwnStringTable, homePageTextsNameTheConfiguredHost)
{
    const QString host = QStringLiteral(QUILLFEN_TEST_HOME_HOST);
    for (StringId id : {IDS_UPDATE_AVAILABLE, IDS_HOME_PAGE_UNREACHABLE}) {
        EXPECT_TRUE(ownString(id)->contains(host)) << int(id);
        EXPECT_FALSE(ownString(id)->contains(QLatin1Char('@'))) << int(id);
    }
}
