// The settings file: the window's five entries and the output format's three beside them.
#include "settings/settings_store.h"

#include "localization/mod_localize.h"
#include "platform/app_error.h"
#include "platform/files.h"
#include "settings/output_format_settings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>

#include <array>
#include <sys/inotify.h>
#include <unistd.h>

using namespace quillfen;
using quillfen::testing::RecordingMessages;

namespace {

using Geometry = std::array<float, 4>;

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
    Geometry g;
};

// Loads into a window at 1, 2, 3, 4 and gives what it ends up at.
Geometry loaded()
{
    FakeWindow window(1, 2, 3, 4);
    LoadSettings(window);
    return window.g;
}

class SettingsStore : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        setProgramLocation(dir.path(), QStringLiteral("Quillfen"));
    }

    QString iniPath() const { return dir.filePath("Veltrane/Quillfen.ini"); }
    void writeIni(const QByteArray& bytes) const
    {
        ASSERT_TRUE(QDir().mkpath(dir.filePath("Veltrane")) &&
                    quillfen::testing::writeFile(iniPath(), bytes));
    }

    QTemporaryDir dir;
    RecordingMessages boxes;
};

} // namespace

TEST_F(SettingsStore, nothingStoredLeavesTheWindowAndASaveLoadsBack)
{
    EXPECT_EQ(loaded(), Geometry({1, 2, 3, 4}));
    SaveSettings(FakeWindow(1234.5f, -300, 9930, 7000));
    QSettings stored(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(stored.value("Settings/EXEPath").toString(), programDirectory());
    QStringList keys = stored.allKeys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{"Settings/EXEPath", "Settings/FormHeight", "Settings/FormLeft",
                                 "Settings/FormTop", "Settings/FormWidth"}));
    EXPECT_EQ(loaded(), Geometry({1234.5f, -300, 9930, 7000}));
    EXPECT_EQ(boxes.texts, QStringList());

    // Another executable name has a store of its own.
    setProgramLocation(dir.path(), QStringLiteral("Quillfen-copy"));
    EXPECT_EQ(loaded(), Geometry({1, 2, 3, 4}));
    SaveSettings(FakeWindow(1, 2, 3, 4));
    EXPECT_TRUE(QFile::exists(dir.filePath("Veltrane/Quillfen-copy.ini")));
}

TEST_F(SettingsStore, keysAreReadInAnyCaseAndABadValueIsOneTypeMismatchThatKeepsOnlyIt)
{
    writeIni("[Settings]\nformleft=-48000\nFORMTOP=\"  12 \"\n");
    EXPECT_EQ(loaded(), Geometry({-48000, 12, 3, 4}));
    SaveSettings(FakeWindow(5, 6, 7, 8));
    EXPECT_EQ(QSettings(iniPath(), QSettings::IniFormat).allKeys().size(), 5); // one entry each
    EXPECT_EQ(boxes.texts, QStringList());

    for (const char* bad : {"wide", "NaN", "-inf", "1e39", ""}) {
        boxes.texts.clear();
        writeIni(QByteArray("[Settings]\nFormLeft=10\nFormTop=20\nFormWidth=\"") + bad +
                 "\"\nFormHeight=40\n");
        EXPECT_EQ(loaded(), Geometry({10, 20, 3, 40})) << bad;
        EXPECT_EQ(boxes.texts,
                  QStringList("(error):13 (Type mismatch) in procedure LoadSettings of Module Module1"));
    }
}

TEST_F(SettingsStore, aSaveWritesTheFileOnceAndNotAtAllWhenItHoldsTheseValues)
{
    SaveSettings(FakeWindow(1, 2, 3, 4));
    // Every write of the store puts a new file in place under its name.
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, QFile::encodeName(dir.filePath("Veltrane")).constData(), IN_MOVED_TO),
              0);
    const auto writes = [&] {
        int count = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = read(watch, buffer, sizeof buffer)) > 0;) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(p);
                if (e->len && QByteArray(e->name) == "Quillfen.ini")
                    ++count;
                p += sizeof(inotify_event) + e->len;
            }
        }
        return count;
    };
    const struct
    {
        Geometry geometry;
        int writes;
    } saves[] = {{{1, 2, 3, 4}, 0}, {{5, 6, 7, 8}, 1}, {{5, 6, 7, 9}, 1}, {{5, 6, 7, 9}, 0}};
    for (const auto& [g, expected] : saves) {
        SaveSettings(FakeWindow(g[0], g[1], g[2], g[3]));
        EXPECT_EQ(writes(), expected) << g[3];
        EXPECT_EQ(loaded(), g);
    }
    close(watch);
    EXPECT_EQ(QSettings(iniPath(), QSettings::IniFormat).allKeys().size(), 5);
    EXPECT_EQ(boxes.texts, QStringList());
}

TEST_F(SettingsStore, sizesBeyondTheLargestWindowAreCutOnLoadAndOnSave)
{
    writeIni("[Settings]\nFormLeft=1e30\nFormTop=20\nFormWidth=1e30\nFormHeight=-5\n");
    EXPECT_EQ(loaded(), Geometry({1e30f, 20, kLargestWindowTwips, -5})); // positions are no sizes
    SaveSettings(FakeWindow(0, 0, 3e38f, 7000));
    const QSettings stored(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(stored.value("Settings/FormWidth").toString(), "491505");
    EXPECT_EQ(stored.value("Settings/FormHeight").toString(), "7000");
    EXPECT_EQ(boxes.texts, QStringList());
}

TEST_F(SettingsStore, aGarbageFileIsReportedAsMalformedAndASaveRepairsIt)
{
    for (quint32 seed = 1; seed <= 4; ++seed) {
        QByteArray bytes(4096, '\0');
        QRandomGenerator random(seed);
        for (char& b : bytes)
            b = char(random.bounded(256));
        writeIni(seed % 2 ? bytes : "[Settings]\nFormLeft=" + bytes);
        boxes.texts.clear();
        EXPECT_EQ(loaded(), Geometry({1, 2, 3, 4})) << seed;
        // Garbage after the section header is malformed, and every step says so, naming the file;
        // garbage alone holds no section and so no settings.
        const QString malformed = "(error):75 (Path/File access error: " + iniPath() +
                                  " (the file is malformed)) in procedure LoadSettings of Module Module1";
        EXPECT_EQ(boxes.texts.join('\n').toStdString(),
                  (seed % 2 ? QStringList() : QStringList(4, malformed)).join('\n').toStdString());
        boxes.texts.clear();
        SaveSettings(FakeWindow(5, 6, 7, 8));
        EXPECT_EQ(loaded(), Geometry({5, 6, 7, 8})) << seed;
        EXPECT_EQ(boxes.texts, QStringList());
    }
}

TEST(SettingsNumbers, writtenInTheLocalesPlainFormAndReadInItOrTheCLocale)
{
    const QLocale c = QLocale::c(), german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(settingsNumberText(123456.7f, german), "123456,7");
    EXPECT_EQ(settingsNumberText(1234567.8f, c), "1234568");

    EXPECT_EQ(parseSettingsNumber(" 1234,5 ", german), 1234.5f);
    EXPECT_EQ(parseSettingsNumber("1.234", german), 1.234f); // from a C-locale store, not 1234
    EXPECT_EQ(parseSettingsNumber("1.234,5", german), 1234.5f);
    EXPECT_EQ(parseSettingsNumber("-3.4e38", c), -3.4e38f);
}

TEST_F(SettingsStore, theOutputFormatIsWrittenBesideTheGeometryAndReadBackInAnyCase)
{
    EXPECT_FALSE(readOutputFormatSettings().encoding);
    {
        QSettings ini(iniPath(), QSettings::IniFormat);
        for (const char* key : {"FormLeft", "FormTop", "FormWidth", "FormHeight", "EXEPath"})
            ini.setValue(QStringLiteral("Settings/") + key, "1234");
        ini.setValue("Settings/outputlevel", "-3.0"); // an old hand edit
    }
    EXPECT_EQ(readOutputFormatSettings().level, "-3.0");
    // Beside the exact spelling, a hand-edited one, sorted before or after it, does not count.
    for (const char* spelling : {"OUTPUTLEVEL", "OutputLevel"})
        QSettings(iniPath(), QSettings::IniFormat).setValue(QStringLiteral("Settings/") + spelling, spelling);
    EXPECT_EQ(readOutputFormatSettings().level, "OutputLevel");
    writeOutputFormatSettings("ulaw", "8000", "-12.5");
    const StoredOutputFormat stored = readOutputFormatSettings();
    EXPECT_EQ(stored.encoding, "ulaw");
    EXPECT_EQ(stored.rate, "8000");
    EXPECT_EQ(stored.level, "-12.5");

    QSettings ini(iniPath(), QSettings::IniFormat);
    ini.beginGroup("Settings");
    QStringList keys = ini.childKeys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{"EXEPath", "FormHeight", "FormLeft", "FormTop", "FormWidth",
                                 "OutputEncoding", "OutputLevel", "OutputRate"}));
    for (const char* key : {"FormLeft", "FormTop", "FormWidth", "FormHeight", "EXEPath"})
        EXPECT_EQ(ini.value(key).toString(), "1234") << key;
}

TEST_F(SettingsStore, anOutputFormatThatCannotBeWrittenIsAnError_andReadsAsNothingStored)
{
    ASSERT_TRUE(QDir().mkpath(iniPath())); // a directory in the file's place: unwritable even for root
    EXPECT_THROW(writeOutputFormatSettings("ulaw", "8000", "-10.0"), AppError);
    EXPECT_FALSE(readOutputFormatSettings().encoding);
}
