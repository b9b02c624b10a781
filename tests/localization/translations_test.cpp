// The shipped string-table sources, read by the same reader the build uses.
#include "localization/language_library.h"
#include "string_table_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

using namespace quillfen::strtab;

namespace {

const std::string kDir = std::string(QUILLFEN_TEST_SOURCE_DIR) + "/resources/strings/";

std::map<int, std::u16string> load(const std::string& code)
{
    const Table t = parseSourceFile(kDir + "Quillfen_" + code + ".rc.in");
    std::map<int, std::u16string> m;
    for (const Entry& e : t.entries)
        m[e.id] = e.text;
    return m;
}

bool isTtyCharacter(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           std::u16string_view(u" \",?:.'#$-()!").find(c) != std::u16string_view::npos;
}

} // namespace

TEST(Translations, everyLanguageHasEveryIdAndTheFixedPieces)
{
    const auto english = load("ENU");
    const std::map<std::string, std::uint16_t> languages{{"ENU", 0x0409}, {"DEU", 0x0407}, {"FRA", 0x040C},
                                                         {"ESN", 0x0C0A}, {"JPN", 0x0411}, {"ENX", 0x8409}};
    for (const auto& [code, langId] : languages) {
        SCOPED_TRACE(code);
        EXPECT_EQ(parseSourceFile(kDir + "Quillfen_" + code + ".rc.in").langId, langId);
        const auto t = load(code);
        ASSERT_EQ(t.size(), 42u);
        EXPECT_EQ(t.begin()->first, 0);
        EXPECT_EQ(t.rbegin()->first, 41);
        for (int id = 4; id <= 9; ++id)
            EXPECT_EQ(t.at(id), english.at(id)) << id; // never looked up: the procedures' own texts
        EXPECT_EQ(t.at(10), u".");
        EXPECT_EQ(t.at(0).front(), u' ');
        EXPECT_EQ(t.at(0).back(), u' ');
        for (int id : {12, 36})
            EXPECT_NE(t.at(id).find(u"@QUILLFEN_HOME_HOST@"), std::u16string::npos) << id;
        for (int id : {1, 2, 19})
            EXPECT_EQ(std::count(t.at(id).begin(), t.at(id).end(), u'&'), 1) << id;
        for (int id : {17, 29, 35, 37})
            EXPECT_FALSE(t.at(id).empty()) << id;
        if (code != "ENU" && code != "ENX") {
            for (int id : {2, 18, 28, 33, 41})
                EXPECT_NE(t.at(id), english.at(id)) << id; // translated, not copied
        }
    }
}

TEST(Translations, ttyEnglishUsesOnlyCharactersATtyCanSend)
{
    for (const auto& [id, text] : load("ENX")) {
        std::u16string shown = text;
        if (id == 1 || id == 2 || id == 19)
            shown.erase(std::remove(shown.begin(), shown.end(), u'&'), shown.end()); // a mnemonic, not text
        if (id == 12 || id == 36)
            shown.replace(shown.find(u"@QUILLFEN_HOME_HOST@"), 20, u"HOST");
        if (id >= 4 && id <= 9)
            continue; // never shown
        for (char16_t c : shown)
            EXPECT_TRUE(isTtyCharacter(c)) << "id " << id << ": " << toUtf8(std::u16string(1, c));
    }
}

TEST(Translations, shippedLibrariesHoldEverySourceTextWithTheHostFilledIn)
{
    const std::u16string placeholder = u"@QUILLFEN_HOME_HOST@";
    const std::string hostUtf8 = QUILLFEN_TEST_HOME_HOST;
    const std::u16string host(hostUtf8.begin(), hostUtf8.end());
    for (const char* code : {"ENU", "DEU", "FRA", "ESN", "JPN", "ENX"}) {
        SCOPED_TRACE(code);
        const auto library = quillfen::LanguageLibraryFile::load(std::string(QUILLFEN_TEST_PROGRAM_DIR) +
                                                                 "/Quillfen_" + code + ".dll");
        ASSERT_TRUE(library.has_value());
        const std::uint16_t langId = parseSourceFile(kDir + "Quillfen_" + code + ".rc.in").langId;
        EXPECT_EQ(library->languages(), std::vector<std::uint16_t>{langId});
        for (auto [id, text] : load(code)) {
            if (auto at = text.find(placeholder); at != std::u16string::npos)
                text.replace(at, placeholder.size(), host);
            EXPECT_EQ(library->string(id, langId), text) << id;
        }
    }
}
