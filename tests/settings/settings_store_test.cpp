#include "settings/settings_store.h"

#include "localization/mod_localize.h"
#include "platform/app_error.h"
#include "platform/files.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <array>

using namespace quillfen;
using quillfen::testing::RecordingMessages;

namespace {

struct FakeWindow final : SettingsWindow
{
    FakeWindow(float l, float t, float w, float h) : g{l, t, w, h} {}
    float Left() const override { return g[0]; }
    float Top() const override { return g[1]; }
    float Width() const override { return g[2]; }
    float Height() const override { return g[3]; }
    void setLeft(float v) override { g[0] = v; }
    void setTop(float v) override { g[1] = v; }
    void setWidth(float v) override { g[2] = v; }
    void setHeight(float v) override { g[3] = v; }
    std::array<float, 4> g;
};
using Geometry = std::array<float, 4>;

class SettingsStore : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        setProgramLocation(dir.path(), QStringLiteral("Quillfen"));
    }
    void TearDown() override { resetLanguageState(); }

    QString iniPath(const QString& exe = QStringLiteral("Quillfen")) const
    {
        return dir.filePath(QStringLiteral("Veltrane/") + exe + QStringLiteral(".ini"));
    }
    void writeIni(const QByteArray& bytes) const
    {
        QDir().mkpath(dir.filePath(QStringLiteral("Veltrane")));
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QStringList storedKeys() const
    {
        QSettings s(iniPath(), QSettings::IniFormat);
        s.beginGroup(QStringLiteral("Settings"));
        QStringList keys = s.childKeys();
        keys.sort();
        return keys;
    }

    QTemporaryDir dir;
    RecordingMessages boxes;
};

TEST_F(SettingsStore, missingStore_leavesGeometry_andSaveWritesFiveEntriesThatLoadBack)
{
    FakeWindow window(1234.5f, 300, 9930, 7000);
    LoadSettings(window);
    EXPECT_EQ(window.g, Geometry({1234.5f, 300, 9930, 7000}));

    SaveSettings(window);
    EXPECT_EQ(boxes.texts, QStringList());
    EXPECT_EQ(storedKeys(), QStringList({"EXEPath", "FormHeight", "FormLeft", "FormTop", "FormWidth"}));
    EXPECT_EQ(QSettings(iniPath(), QSettings::IniFormat).value("Settings/EXEPath").toString(),
              programDirectory());

    FakeWindow fresh(0, 0, 0, 0);
    LoadSettings(fresh);
    EXPECT_EQ(fresh.g, window.g);
    EXPECT_EQ(boxes.texts, QStringList());
}

TEST_F(SettingsStore, keysInOtherCase_areRead_andSaveLeavesOneEntryEach)
{
    writeIni("[Settings]\nformleft=-48000\nFORMTOP=\"  12 \"\n");
    FakeWindow window(1, 2, 3, 4);
    LoadSettings(window);
    EXPECT_EQ(window.g, Geometry({-48000, 12, 3, 4}));

    SaveSettings(window);
    EXPECT_EQ(storedKeys(), QStringList({"EXEPath", "FormHeight", "FormLeft", "FormTop", "FormWidth"}));
    EXPECT_EQ(QSettings(iniPath(), QSettings::IniFormat).value("Settings/FormLeft").toString(), "-48000");
}

TEST_F(SettingsStore, valueThatIsNotAFiniteNumber_reportsTypeMismatchOnce_andKeepsOnlyThatValue)
{
    for (const char* bad : {"wide", "NaN", "Infinity", "-inf", "1e39", ""}) {
        SCOPED_TRACE(bad);
        boxes.texts.clear();
        writeIni(QByteArray("[Settings]\nFormLeft=10\nFormTop=20\nFormWidth=\"") + bad +
                 "\"\nFormHeight=40\n");
        FakeWindow window(1, 2, 3, 4);
        LoadSettings(window);
        EXPECT_EQ(window.g, Geometry({10, 20, 3, 40}));
        EXPECT_EQ(boxes.texts,
                  QStringList("(error):13 (Type mismatch) in procedure LoadSettings of Module Module1"));
    }
}

TEST_F(SettingsStore, otherExecutableName_hasItsOwnEmptyStore)
{
    SaveSettings(FakeWindow(100, 200, 300, 400));
    setProgramLocation(dir.path(), QStringLiteral("Quillfen-copy"));
    FakeWindow window(1, 2, 3, 4);
    LoadSettings(window);
    EXPECT_EQ(window.g, Geometry({1, 2, 3, 4}));
    SaveSettings(window);
    EXPECT_TRUE(QFile::exists(iniPath(QStringLiteral("Quillfen-copy"))));
}

// Both fail for root too, which ignores permission bits.
TEST_F(SettingsStore, storeThatCannotBeWritten_givesFiveSaveReports)
{
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString below = dir.filePath("plain/config");

    const auto check = [&](const QString& file) {
        boxes.texts.clear();
        SaveSettings(FakeWindow(1, 2, 3, 4));
        ASSERT_EQ(boxes.texts.size(), 5);
        for (const QString& text : boxes.texts)
            EXPECT_EQ(text, "(error):75 (Path/File access error: " + file +
                                ") in procedure SaveSettings of Module Module1");
    };
    {
        SCOPED_TRACE("settings file is a directory");
        ASSERT_TRUE(QDir().mkpath(iniPath()));
        check(iniPath());
        boxes.texts.clear();
        FakeWindow window(1, 2, 3, 4);
        LoadSettings(window);
        EXPECT_EQ(window.g, Geometry({1, 2, 3, 4}));
        EXPECT_EQ(boxes.texts.size(), 4);
    }
    {
        SCOPED_TRACE("config directory below a regular file");
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, below);
        check(below + "/Veltrane/Quillfen.ini");
    }
}

TEST_F(SettingsStore, garbageFile_givesReportsOrDefaults_andSaveRepairsIt)
{
    const QRegularExpression loadReport(
        R"(^\(error\):(13 \(Type mismatch|75 \(Path/File access error: .*)\) in procedure LoadSettings of Module Module1$)");
    for (quint32 seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        QRandomGenerator random(seed);
        QByteArray bytes(4096, '\0');
        for (char& b : bytes)
            b = char(random.bounded(256));
        if (seed % 2 == 0)
            bytes.prepend("[Settings]\nFormLeft=");
        writeIni(bytes);
        boxes.texts.clear();
        FakeWindow window(1, 2, 3, 4);
        LoadSettings(window);
        for (const QString& text : boxes.texts)
            EXPECT_TRUE(loadReport.match(text).hasMatch()) << text.toStdString();
        EXPECT_TRUE(boxes.texts.size() == 0 || boxes.texts.size() == 4) << boxes.texts.size();
        EXPECT_EQ(window.g, Geometry({1, 2, 3, 4}));

        boxes.texts.clear();
        SaveSettings(FakeWindow(5, 6, 7, 8));
        LoadSettings(window);
        EXPECT_EQ(window.g, Geometry({5, 6, 7, 8}));
        EXPECT_EQ(boxes.texts, QStringList());
    }
}

bool rejectedAsTypeMismatch(const char* text, const QLocale& locale)
{
    try {
        parseSettingsNumber(text, locale);
    } catch (const AppError& e) {
        return e.number == 13 && e.description == "Type mismatch";
    }
    return false;
}

TEST(SettingsNumbers, writtenInTheLocalesPlainForm_readInItOrTheCLocale_andOnlyFiniteSingles)
{
    const QLocale c = QLocale::c(), german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(settingsNumberText(-48000, german), "-48000");
    EXPECT_EQ(settingsNumberText(1234.5f, c), "1234.5");
    EXPECT_EQ(settingsNumberText(123456.7f, german), "123456,7");
    EXPECT_EQ(settingsNumberText(1234567.8f, c), "1234568");

    EXPECT_EQ(parseSettingsNumber(" 1234,5 ", german), 1234.5f);
    EXPECT_EQ(parseSettingsNumber("1234.5", german), 1234.5f);
    EXPECT_EQ(parseSettingsNumber("1.234", german), 1.234f); // from a C-locale store, not 1234
    EXPECT_EQ(parseSettingsNumber("1.234,5", german), 1234.5f);
    EXPECT_EQ(parseSettingsNumber("-3.4e38", c), -3.4e38f);
    for (const char* bad : {"", "12abc", "nan", "INF", "infinity", "1e39", "-1e39", "0x10"}) {
        EXPECT_TRUE(rejectedAsTypeMismatch(bad, c)) << bad;
        EXPECT_TRUE(rejectedAsTypeMismatch(bad, german)) << bad;
    }
}

} // namespace
