#include "localization/language_codes.h"
#include "localization/mod_localize.h"
#include "localization/open_forms.h"
#include "localization/string_table.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

using namespace quillfen;
using quillfen::testing::RecordingMessages;

namespace {

// Language libraries made by the real build tool from a few lines of source.
void makeLibrary(const QString& path, const QString& language, const QString& body)
{
    QTemporaryDir work;
    QFile source(work.filePath("lib.rc"));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.write(("LANGUAGE " + language + "\nSTRINGTABLE\nBEGIN\n" + body + "\nEND\n").toUtf8());
    source.close();
    QProcess p;
    p.start(QStringLiteral(QUILLFEN_TEST_LANGLIB), {source.fileName(), path});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

void touch(const QString& path, const QByteArray& bytes = "junk")
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
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
    void TearDown() override
    {
        resetLanguageState();
        qputenv("LC_ALL", "C.UTF-8");
    }
    QStringList listedLibraries() const
    {
        QStringList codes;
        for (const QString& n :
             QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted))
            if (n.startsWith("Quillfen_", Qt::CaseInsensitive) && n.endsWith("dll", Qt::CaseInsensitive))
                codes << n.mid(n.size() - 7, 3);
        return codes;
    }

    QTemporaryDir dir;
    RecordingMessages boxes;
};

} // namespace

TEST(LanguageCodes, codesAndLcidsMapBothWaysAndNothingElseMatches)
{
    const QStringList codes{"ENX", "ENU", "ENG", "ENA", "ENC", "ENZ", "ENI", "DEU", "DES", "DEA",
                            "DEL", "DEC", "ESP", "ESM", "ESN", "ESG", "ESC", "ESA", "ESD", "ESV",
                            "ESO", "ESR", "ESS", "ESH", "ESI", "ESU", "FRA", "FRB", "FRC", "FRS",
                            "FRL", "ITA", "ITS", "JPN", "NLD", "NLB", "NOR", "NON", "PTB", "PTG"};
    QSet<std::int32_t> lcids;
    for (const QString& code : codes) {
        const std::int32_t lcid = GetLCIDFromCode(code);
        lcids.insert(lcid);
        EXPECT_EQ(GetLanguageCode(lcid), code);
    }
    EXPECT_EQ(lcids.size(), 40);
    EXPECT_EQ(GetLCIDFromCode("ENX"), 33801);
    EXPECT_EQ(GetLCIDFromCode("ESN"), 3082);
    EXPECT_EQ(GetLCIDFromCode("PTG"), 2070);
    for (const char* other : {"", "deu", "Enu", " ENU", "ENU ", "ERROR", "XYZ"})
        EXPECT_EQ(GetLCIDFromCode(QString::fromUtf8(other)), 1033) << other;
    EXPECT_EQ(GetLanguageCode(0), QStringLiteral("ENU"));
    for (std::int32_t lcid : {1042, 1028, 2052, -1, 1, 0x8409 + 1})
        EXPECT_EQ(GetLanguageCode(lcid), QStringLiteral("ERROR")) << lcid;
}

TEST(LanguageCodes, namesComeFromTheSystemExceptTheTtyLanguage)
{
    EXPECT_EQ(GetLanguageName(33801), QStringLiteral("English (TTY/TDD)"));
    EXPECT_EQ(GetLanguageName(1031), QStringLiteral("German (Germany)"));
    EXPECT_EQ(GetLanguageName(1033), QStringLiteral("English (United States)"));
    EXPECT_EQ(GetLanguageName(1041), QStringLiteral("Japanese (Japan)"));
    EXPECT_NE(GetLanguageName(1034), GetLanguageName(3082));
    EXPECT_EQ(GetLanguageName(0x1234), QStringLiteral("(error)"));
    EXPECT_EQ(GetLanguageName(0), QStringLiteral("(error)"));
    EXPECT_EQ(GetLanguageNameFromCode("ENX"), QStringLiteral("English (TTY/TDD)"));
    EXPECT_EQ(GetLanguageNameFromCode("deu"), QStringLiteral("English (United States)"));
}

TEST(LanguageCodes, userDefaultLanguageFollowsThePosixLocale)
{
    const std::pair<const char*, std::int32_t> locales[] = {
        {"de_DE.UTF-8", 1031}, {"de_CH", 2055}, {"ja_JP.UTF-8", 1041}, {"ko_KR.UTF-8", 1042},
        {"zh_TW", 1028},       {"zh_CN", 2052}, {"es_ES.UTF-8", 3082}, {"es_ES@traditional", 1034},
        {"fr", 1036},          {"pt_BR", 1046}, {"nn_NO", 2068},       {"en_GB.UTF-8", 2057},
        {"C", 1033},           {"POSIX", 1033}, {"xx_YY", 1033},       {"de_XX", 1031},
    };
    for (auto [name, lcid] : locales)
        EXPECT_EQ(lcidForLocaleName(name), lcid) << name;

    const QByteArray saved = qgetenv("LC_ALL");
    qputenv("LC_ALL", "");
    qputenv("LC_MESSAGES", "ja_JP.UTF-8");
    qputenv("LANG", "fr_FR.UTF-8");
    EXPECT_EQ(GetUserDefaultLangID(), 1041);
    qunsetenv("LC_MESSAGES");
    EXPECT_EQ(GetUserDefaultLangID(), 1036);
    qputenv("LC_ALL", "de_AT.UTF-8");
    EXPECT_EQ(GetUserDefaultLangID(), 3079);
    qputenv("LC_ALL", saved);
    qputenv("LANG", "C.UTF-8");
}

TEST_F(Localize, noLibrariesLeavesOneEmptyEntryAndTheOwnTexts)
{
    touch(dir.filePath("Quillfen"));
    InitalizeLanguages();
    EXPECT_EQ(CurrentLCID(), 1031);
    EXPECT_EQ(LanguageLibrary(), 0);
    EXPECT_EQ(LoadedLanguages(), QStringList{QString()});
    EXPECT_EQ(myLoadResString(21), QStringLiteral("Exit"));
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(Localize, userLanguageLibraryIsLoadedAndEveryLibraryListedInListingOrder)
{
    makeLibrary(dir.filePath("Quillfen_ENU.dll"), "0x09, 0x01", "21, \"Exit\"");
    makeLibrary(dir.filePath("Quillfen_DEU.dll"), "0x07, 0x01",
                "21, \"Beenden\"\n26, \"\"\n31, \"" + QString(1500, QChar(u'\u00e4')) + "\"");

    // Nothing is loaded before the first InitalizeLanguages, whatever lies next to the program.
    EXPECT_EQ(myLoadResString(21), QStringLiteral("Exit"));

    InitalizeLanguages();
    EXPECT_EQ(CurrentLCID(), 1031);
    EXPECT_GT(LanguageLibrary(), 0);
    EXPECT_EQ(LoadedLanguages(), listedLibraries());
    EXPECT_EQ(LoadedLanguages().size(), 2);
    EXPECT_EQ(myLoadResString(21), QStringLiteral("Beenden"));
    EXPECT_EQ(myLoadResString(26), QStringLiteral("OK"));       // held empty: the own text
    EXPECT_EQ(myLoadResString(39), QStringLiteral("Version:")); // missing: the own text
    EXPECT_EQ(myLoadResString(31), QString(1199, QChar(u'\u00e4')));
    EXPECT_EQ(myLoadResString(0), QStringLiteral(" Build "));
    EXPECT_TRUE(boxes.texts.isEmpty());
    EXPECT_EQ(myLoadResString(42), QString());
    EXPECT_EQ(boxes.texts, QStringList{"error in myLoadResString: Resource with identifier '42' not found"});

    // A language chosen earlier is kept; its library replaces the old one.
    makeLibrary(dir.filePath("Quillfen_ENG.dll"), "0x09, 0x02", "21, \"Leave\"");
    const std::int32_t before = LanguageLibrary();
    setCurrentLCID(2057);
    InitalizeLanguages();
    EXPECT_EQ(CurrentLCID(), 2057);
    EXPECT_NE(LanguageLibrary(), before);
    EXPECT_EQ(myLoadResString(21), QStringLiteral("Leave"));
    EXPECT_EQ(LoadedLanguages().size(), 3);
    QString unused;
    EXPECT_EQ(LoadStringW(before, 21, unused, 1200), 0); // the old library was released
}

TEST_F(Localize, discoveryMatchesPrefixAndSuffixWithoutRegardToCase)
{
    touch(dir.filePath("QUILLFEN_deu.Dll"));
    touch(dir.filePath("Quillfen_XYZ.dll"));
    touch(dir.filePath("Quillfen_DEU.dll"), "MZ but nothing more");
    touch(dir.filePath("quillfen_a b c.DLL"));
    for (const char* name : {"Quillfen.exe", "Quillfen_ENU.dll.bak", "Other_ENU.dll", "Quillfen-ENU.dll",
                             "QuillfenENU.dll", "Quillfen_ENU.dl"})
        touch(dir.filePath(name));
    ASSERT_TRUE(QDir(dir.path()).mkdir("Quillfen_DIR.dll"));

    InitalizeLanguages();
    QStringList sorted = LoadedLanguages();
    sorted.sort();
    EXPECT_EQ(sorted, (QStringList{"DEU", "XYZ", "b c", "deu"}));
    EXPECT_EQ(LoadedLanguages(), listedLibraries().filter(QRegularExpression("^(deu|DEU|XYZ|b c)$")));
    EXPECT_EQ(GetLCIDFromCode("deu"), 1033);
    EXPECT_EQ(GetLCIDFromCode("XYZ"), 1033);
    // The user's library is junk: listed, but it cannot be loaded, and that is no error.
    EXPECT_EQ(LanguageLibrary(), 0);
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(Localize, languageWithoutCodeLoadsNothingAndKeepsItsLcid)
{
    qputenv("LC_ALL", "ko_KR.UTF-8");
    makeLibrary(dir.filePath("Quillfen_ENU.dll"), "0x09, 0x01", "21, \"Exit\"");
    touch(dir.filePath("Quillfen_ERROR.dll"));
    InitalizeLanguages();
    EXPECT_EQ(CurrentLCID(), 1042);
    EXPECT_EQ(GetLanguageCode(CurrentLCID()), QStringLiteral("ERROR"));
    EXPECT_EQ(LanguageLibrary(), 0);
}

TEST_F(Localize, unlistableDirectoryIsReportedAndGivesOneEmptyEntry)
{
    setProgramLocation(dir.filePath("gone"), "Quillfen");
    InitalizeLanguages();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("Error in InitalizeLanguages: Path not found"))
        << boxes.texts[0].toStdString();
    EXPECT_EQ(LoadedLanguages(), QStringList{QString()});
}

TEST_F(Localize, openFormsGetTheirFontsAndLeaveTheRegistryWhenDestroyed)
{
    int fontsA = 0;
    int fontsB = 0;
    auto* a = new QObject;
    auto* b = new QObject;
    registerOpenForm({"frmA", a, {}, [&] { ++fontsA; }, {}});
    registerOpenForm({"frmB", b, {}, [&] { ++fontsB; }, {}});
    InitalizeLanguages();
    EXPECT_EQ(fontsA, 1);
    EXPECT_EQ(fontsB, 1);
    delete a;
    ASSERT_EQ(openForms().size(), 1u);
    EXPECT_EQ(openForms()[0].name, QStringLiteral("frmB"));
    InitalizeLanguages();
    EXPECT_EQ(fontsB, 2);
    delete b;
    EXPECT_TRUE(openForms().empty());
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
    registerOpenForm({"frmLast", &last, [&] { seen << "caption " + myLoadResString(21); }, {}, {}});
    SwitchLanguage(1031);
    EXPECT_EQ(CurrentLCID(), 1031);
    // Fonts once from InitalizeLanguages, then per form: fonts, captions, repaint.
    EXPECT_EQ(seen, (QStringList{"fonts plain", "fonts failing", "fonts plain", "refresh plain",
                                 "fonts failing", "refresh failing", "caption Beenden"}));
    EXPECT_TRUE(boxes.texts.isEmpty());
}
