#include "localization/language_codes.h"
#include "localization/mod_localize.h"
#include "localization/open_forms.h"
#include "localization/string_table.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace quillfen;
using quillfen::testing::RecordingMessages;

namespace {

void touch(const QString& path, const QByteArray& bytes = "junk")
{
    ASSERT_TRUE(quillfen::testing::writeFile(path, bytes));
}

// Language libraries made by the real build tool from a few lines of source.
void makeLibrary(const QString& path, const QString& language, const QString& body)
{
    QTemporaryDir work;
    touch(work.filePath("lib.rc"),
          ("LANGUAGE " + language + "\nSTRINGTABLE\nBEGIN\n" + body + "\nEND\n").toUtf8());
    ASSERT_EQ(QProcess::execute(QStringLiteral(QUILLFEN_TEST_LANGLIB), {work.filePath("lib.rc"), path}), 0);
}

class Localize : public ::testing::Test
{
protected:
    void SetUp() override
    {
        resetLanguageState();
        setProgramLocation(dir.path(), "Quillfen");
        qputenv("LC_ALL", "de_DE.UTF-8");
    }

    QTemporaryDir dir;
    RecordingMessages boxes;
};

} // namespace

TEST(LanguageCodes, codesLcidsNamesAndLocalesMapAndNothingElseMatches)
{
    const std::pair<const char*, std::int32_t> known[] = {{"ENX", 33801}, {"ENU", 1033}, {"DEU", 1031},
                                                          {"ESN", 3082},  {"JPN", 1041}, {"PTG", 2070}};
    for (auto [code, lcid] : known) {
        EXPECT_EQ(GetLCIDFromCode(code), lcid) << code;
        EXPECT_EQ(GetLanguageCode(lcid), code) << lcid;
    }
    for (const char* other : {"", "deu", " ENU", "ERROR", "XYZ"})
        EXPECT_EQ(GetLCIDFromCode(QString::fromUtf8(other)), 1033) << other;
    EXPECT_EQ(GetLanguageCode(0), QStringLiteral("ENU"));
    for (std::int32_t lcid : {1042, 2052, -1})
        EXPECT_EQ(GetLanguageCode(lcid), QStringLiteral("ERROR")) << lcid;

    EXPECT_EQ(GetLanguageName(33801), QStringLiteral("English (TTY/TDD)"));
    EXPECT_EQ(GetLanguageName(0x1234), QStringLiteral("(error)"));
    EXPECT_EQ(GetLanguageNameFromCode("deu"), QStringLiteral("English (United States)"));

    const std::pair<const char*, std::int32_t> locales[] = {
        {"de_DE.UTF-8", 1031}, {"de_CH", 2055},       {"ko_KR.UTF-8", 1042},
        {"zh_TW", 1028},       {"es_ES.UTF-8", 3082}, {"es_ES@traditional", 1034},
        {"C", 1033},           {"xx_YY", 1033},       {"de_ch", 2055}};
    for (auto [name, lcid] : locales)
        EXPECT_EQ(lcidForLocaleName(name), lcid) << name;
}

TEST_F(Localize, noLibrariesOrAnUnlistableDirectoryLeaveOneEmptyEntryAndTheOwnTexts)
{
    touch(dir.filePath("Quillfen"));
    InitalizeLanguages();
    EXPECT_EQ(LanguageLibrary(), 0);
    EXPECT_EQ(LoadedLanguages(), QStringList{QString()});
    EXPECT_EQ(myLoadResString(IDS_EXIT_MENU), QStringLiteral("Exit"));
    EXPECT_TRUE(boxes.texts.isEmpty());

    setProgramLocation(dir.filePath("gone"), "Quillfen");
    InitalizeLanguages();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("Error in InitalizeLanguages: Path not found"))
        << boxes.texts[0].toStdString();
    EXPECT_EQ(LoadedLanguages(), QStringList{QString()});
}

TEST_F(Localize, userLanguageLibraryIsLoadedAndEveryLibraryListedInListingOrder)
{
    makeLibrary(dir.filePath("Quillfen_ENU.dll"), "0x09, 0x01", "21, \"Exit\"");
    makeLibrary(dir.filePath("Quillfen_DEU.dll"), "0x07, 0x01",
                "21, \"Beenden\"\n26, \"\"\n31, \"" + QString(1500, QChar(u'\u00e4')) + "\"");
    InitalizeLanguages();
    EXPECT_EQ(CurrentLCID(), 1031);
    QStringList listed;
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files, QDir::Unsorted))
        listed << name.mid(9, 3);
    EXPECT_EQ(LoadedLanguages(), listed);
    EXPECT_EQ(myLoadResString(IDS_EXIT_MENU), QStringLiteral("Beenden"));
    EXPECT_EQ(myLoadResString(IDS_OK), QStringLiteral("OK"));                  // held empty: the own text
    EXPECT_EQ(myLoadResString(IDS_VERSION_TITLE), QStringLiteral("Version:")); // missing: the own text
    EXPECT_EQ(myLoadResString(IDS_SAVE_DIALOG_TITLE), QString(1199, QChar(u'\u00e4')));
    EXPECT_TRUE(boxes.texts.isEmpty());
    EXPECT_EQ(myLoadResString(StringId(4000)), QString());
    EXPECT_EQ(boxes.texts,
              QStringList{"error in myLoadResString: Resource with identifier '4000' not found"});

    // A language without a code loads nothing, not even US English, and keeps its LCID.
    resetLanguageState();
    qputenv("LC_ALL", "ko_KR.UTF-8");
    InitalizeLanguages();
    EXPECT_EQ(CurrentLCID(), 1042);
    EXPECT_EQ(LanguageLibrary(), 0);
}

TEST_F(Localize, discoveryMatchesPrefixAndSuffixWithoutRegardToCase)
{
    touch(dir.filePath("QUILLFEN_deu.Dll"));
    touch(dir.filePath("Quillfen_DEU.dll"), "MZ but nothing more");
    touch(dir.filePath("quillfen_a b c.DLL"));
    for (const char* name : {"Quillfen.exe", "Quillfen_ENU.dll.bak", "Other_ENU.dll", "Quillfen-ENU.dll"})
        touch(dir.filePath(name));
    InitalizeLanguages();
    QStringList sorted = LoadedLanguages();
    sorted.sort();
    // Where names differ only in case they are one file (Windows), which keeps its first name.
    const bool oneFile = QDir(dir.path()).entryList({"quillfen_deu.dll"}, QDir::Files).size() == 1;
    EXPECT_EQ(sorted, (oneFile ? QStringList{"b c", "deu"} : QStringList{"DEU", "b c", "deu"}));
    // The user's library is junk: listed, but it cannot be loaded, and that is no error.
    EXPECT_EQ(LanguageLibrary(), 0);
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(Localize, switchPassesOverFormsWithoutAMethodAndOneFailingFormStopsNoOther)
{
    makeLibrary(dir.filePath("Quillfen_DEU.dll"), "0x07, 0x01", "21, \"Beenden\"");
    QObject plain, failing, last;
    QStringList seen;
    registerOpenForm(
        {"frmPlain", &plain, {}, [&] { seen << "fonts plain"; }, [&] { seen << "refresh plain"; }});
    registerOpenForm({"frmFailing", &failing, [&]() -> void { throw std::runtime_error("broken"); },
                      [&] { seen << "fonts failing"; }, [&] { seen << "refresh failing"; }});
    registerOpenForm(
        {"frmLast", &last, [&] { seen << "caption " + myLoadResString(IDS_EXIT_MENU); }, {}, {}});
    SwitchLanguage(1031);
    EXPECT_EQ(CurrentLCID(), 1031);
    // Fonts once from InitalizeLanguages, then per form: fonts, captions, repaint.
    EXPECT_EQ(seen, (QStringList{"fonts plain", "fonts failing", "fonts plain", "refresh plain",
                                 "fonts failing", "refresh failing", "caption Beenden"}));
    EXPECT_TRUE(boxes.texts.isEmpty());
}
