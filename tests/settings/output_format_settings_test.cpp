// The output format's three keys in the settings file, beside the window's five.
#include "localization/mod_localize.h"
#include "platform/app_error.h"
#include "settings/output_format_settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

using namespace quillfen;

namespace {

class OutputFormatSettings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        setProgramLocation(dir.path(), QStringLiteral("Quillfen"));
    }
    QString file() const { return dir.filePath("Veltrane/Quillfen.ini"); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(OutputFormatSettings, theChoiceIsWrittenBesideTheGeometryAndReadBack_anyCase)
{
    EXPECT_FALSE(readOutputFormatSettings().encoding);
    {
        QSettings ini(file(), QSettings::IniFormat);
        for (const char* key : {"FormLeft", "FormTop", "FormWidth", "FormHeight", "EXEPath"})
            ini.setValue(QStringLiteral("Settings/") + key, "1234");
        ini.setValue("Settings/outputlevel", "-3.0"); // an old hand edit
    }
    EXPECT_EQ(readOutputFormatSettings().level, "-3.0");
    writeOutputFormatSettings("ulaw", "8000", "-12.5");
    const StoredOutputFormat stored = readOutputFormatSettings();
    EXPECT_EQ(stored.encoding, "ulaw");
    EXPECT_EQ(stored.rate, "8000");
    EXPECT_EQ(stored.level, "-12.5");

    QSettings ini(file(), QSettings::IniFormat);
    ini.beginGroup("Settings");
    QStringList keys = ini.childKeys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{"EXEPath", "FormHeight", "FormLeft", "FormTop", "FormWidth",
                                 "OutputEncoding", "OutputLevel", "OutputRate"}));
    for (const char* key : {"FormLeft", "FormTop", "FormWidth", "FormHeight", "EXEPath"})
        EXPECT_EQ(ini.value(key).toString(), "1234") << key;
}

TEST_F(OutputFormatSettings, aStoreThatCannotBeWrittenIsAnError_andReadsAsNothingStored)
{
    ASSERT_TRUE(QDir().mkpath(file())); // a directory in the file's place: unwritable even for root
    EXPECT_THROW(writeOutputFormatSettings("ulaw", "8000", "-10.0"), AppError);
    EXPECT_FALSE(readOutputFormatSettings().encoding);
}
