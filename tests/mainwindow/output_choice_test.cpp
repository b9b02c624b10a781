// The Output Format box's baud and transliteration choices: shown, taken, remembered across starts,
// and used by the window's conversions in the window's language.
#include "conversion/tty_decoder.h"
#include "localization/mod_localize.h"
#include "mainwindow/frm_main.h"
#include "mainwindow/frm_output_format.h"
#include "platform/session.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

const QString kProgramDir = QStringLiteral(QUILLFEN_TEST_PROGRAM_DIR);

class OutputChoiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
        resetLanguageState();
        setProgramLocation(kProgramDir, "Quillfen");
        newWindow();
    }
    void TearDown() override
    {
        window.reset();
        releaseInstanceLock();
        qunsetenv("XDG_CACHE_HOME");
    }
    void newWindow()
    {
        window.reset();
        releaseInstanceLock();
        window = std::make_unique<frmMain>(kProgramDir);
        window->setTerminate([] {});
    }
    // Converts `text` into `name` in the output folder and decodes the file.
    tty::DecodedText convert(const QString& text, const QString& name)
    {
        window->findChild<QLineEdit*>("txtOutputFileName")->setText(out.filePath(name));
        window->findChild<QPlainTextEdit*>("txtInputText")->setPlainText(text);
        window->findChild<QPushButton*>("cmdConstructWavFromString")->click();
        return tty::decodeFile(QFile::encodeName(out.filePath(name)).toStdString());
    }

    QTemporaryDir config, cache, out;
    RecordingMessages boxes;
    std::unique_ptr<frmMain> window;
};

} // namespace

TEST_F(OutputChoiceTest, theBoxShowsAndTakesTheBaudAndTheTransliteration)
{
    frmOutputFormat box(OutputChoice{{Encoding::Ulaw, 8000, -100, LineBaud::Baud50}, true}, nullptr);
    auto* baud = box.findChild<QComboBox*>("cboBaud");
    auto* spell = box.findChild<QCheckBox*>("chkTransliterate");
    ASSERT_TRUE(baud && spell);
    EXPECT_EQ(baud->count(), 2);
    EXPECT_EQ(box.choice(), (OutputChoice{{Encoding::Ulaw, 8000, -100, LineBaud::Baud50}, true}));
    baud->setCurrentIndex(baud->findData(static_cast<int>(LineBaud::Baud45)));
    spell->setChecked(false);
    EXPECT_EQ(box.choice(), (OutputChoice{{Encoding::Ulaw, 8000, -100, LineBaud::Baud45}, false}));
    EXPECT_FALSE(baud->currentText().isEmpty());
    EXPECT_FALSE(spell->text().isEmpty());
}

TEST_F(OutputChoiceTest, theChoiceIsRememberedAcrossStarts_andTheConversionsUseIt)
{
    QList<OutputChoice> shown;
    std::optional<OutputChoice> answer = OutputChoice{{Encoding::Pcm16, 8000, -100, LineBaud::Baud50}, true};
    const auto answering = [&](const OutputChoice& current) {
        shown << current;
        return answer;
    };
    window->setOutputChoiceDialog(answering);
    window->findChild<QAction*>("mnuOutputFormat")->trigger();
    QSettings ini(config.filePath("Veltrane/Quillfen.ini"), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Settings/OutputBaud").toString(), "50");
    EXPECT_EQ(ini.value("Settings/Transliterate").toString(), "1");

    // The next start has it back, and a box answered with the format alone keeps the transliteration.
    newWindow();
    window->setOutputChoiceDialog(answering);
    answer.reset();
    window->findChild<QAction*>("mnuOutputFormat")->trigger();
    EXPECT_EQ(shown, (QList<OutputChoice>{{}, {{Encoding::Pcm16, 8000, -100, LineBaud::Baud50}, true}}));
    window->setOutputFormatDialog([](const OutputFormat&) {
        return OutputFormat{Encoding::Ulaw, 8000, -100};
    });
    window->findChild<QAction*>("mnuOutputFormat")->trigger();
    EXPECT_EQ(window->outputChoice(), (OutputChoice{{Encoding::Ulaw, 8000, -100}, true}));

    // Spelt by the window's language: English until another is chosen, then German.
    tty::DecodedText d = convert(QString::fromUtf8("Grüße"), "en.wav");
    EXPECT_EQ(d.text, "GRUSSE");
    setCurrentLCID(1031);
    EXPECT_EQ(convert(QString::fromUtf8("Grüße"), "de.wav").text, "GRUESSE");
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('\n').toStdString();
}

TEST_F(OutputChoiceTest, aStoredBaudOrSwitchThatIsNotOfferedFallsBackToTheStandard)
{
    QSettings ini(config.filePath("Veltrane/Quillfen.ini"), QSettings::IniFormat);
    ini.setValue("Settings/OutputBaud", "75");
    ini.setValue("Settings/Transliterate", "yes");
    ini.sync();
    EXPECT_EQ(window->outputChoice(), OutputChoice{});
    EXPECT_DOUBLE_EQ(convert("HI", "std.wav").bursts.at(0).baud, 45.45);
}
