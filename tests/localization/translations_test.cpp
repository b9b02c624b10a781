// The shipped string-table sources, read by the same reader the build uses.
#include "localization/language_library.h"
#include "string_table_source.h"

#include <gtest/gtest.h>

#include <map>

using namespace quillfen::strtab;

namespace {

const std::string kDir = std::string(QUILLFEN_TEST_SOURCE_DIR) + "/resources/strings/";
const std::u16string kHost = u"@QUILLFEN_HOME_HOST@";
const std::pair<std::string, std::uint16_t> kLanguages[] = {
    {"ENU", 0x0409}, {"DEU", 0x0407}, {"FRA", 0x040C}, {"ESN", 0x0C0A}, {"JPN", 0x0411}, {"ENX", 0x8409}};

std::map<int, std::u16string> load(const std::string& code)
{
    std::map<int, std::u16string> m;
    for (const Entry& e : parseSourceFile(kDir + "Quillfen_" + code + ".rc.in").entries)
        m[e.id] = e.text;
    return m;
}

} // namespace

TEST(Translations, everyLanguageHasEveryIdAndTheFixedPiecesAndItsLibraryHoldsThem)
{
    const std::string hostUtf8 = QUILLFEN_TEST_HOME_HOST;
    const std::u16string host(hostUtf8.begin(), hostUtf8.end());
    const auto english = load("ENU");
    for (const auto& [code, langId] : kLanguages) {
        SCOPED_TRACE(code);
        EXPECT_EQ(parseSourceFile(kDir + "Quillfen_" + code + ".rc.in").langId, langId);
        const auto t = load(code);
        ASSERT_EQ(t.size(), english.size());
        for (const auto& [id, text] : english)
            EXPECT_TRUE(t.count(id)) << "id " << id << " is missing";
        for (int id = 4; id <= 9; ++id)
            EXPECT_EQ(t.at(id), english.at(id)) << id; // never looked up: the procedures' own texts
        EXPECT_EQ(t.at(10), u".");
        EXPECT_EQ(t.at(0).front(), u' ');
        EXPECT_EQ(t.at(0).back(), u' ');
        if (code != "ENU" && code != "ENX") {
            EXPECT_NE(t.at(41), english.at(41)); // translated, not copied
        }

        // The shipped library holds every text, with the host filled in.
        const auto library = quillfen::LanguageLibraryFile::load(std::string(QUILLFEN_TEST_PROGRAM_DIR) +
                                                                 "/Quillfen_" + code + ".dll");
        ASSERT_TRUE(library.has_value());
        EXPECT_EQ(library->languages(), std::vector<std::uint16_t>{langId});
        for (auto [id, text] : t) {
            if (id == 12 || id == 36) {
                ASSERT_NE(text.find(kHost), std::u16string::npos) << id;
                text.replace(text.find(kHost), kHost.size(), host);
            }
            EXPECT_EQ(library->string(id, langId), text) << id;
        }
        if (code != "ENX")
            continue;
        // TTY English uses only characters a TTY can send.
        const std::u16string allowed = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 \",?:.'#$-()!";
        for (auto [id, text] : t) {
            if (id >= 4 && id <= 9)
                continue; // never shown
            if (id == 12 || id == 36)
                text.replace(text.find(kHost), kHost.size(), u"HOST");
            // A placeholder (%1, %2, ...) is replaced by a name or a number before it is shown.
            for (auto at = text.find(u'%'); at != std::u16string::npos && at + 1 < text.size();
                 at = text.find(u'%', at + 1)) {
                if (text[at + 1] >= u'1' && text[at + 1] <= u'9')
                    text.replace(at, 2, u"NAME");
            }
            for (char16_t c : text)
                EXPECT_TRUE(allowed.find(c) != std::u16string::npos ||
                            (c == u'&' && (id == 1 || id == 2 || id == 19)))
                    << "id " << id << ": " << toUtf8(std::u16string(1, c));
        }
    }
}
