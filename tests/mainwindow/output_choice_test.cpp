// The Output Format box's baud and transliteration choices: shown, taken, remembered across starts,
// and used by the window's conversions in the window's language.
#include "main_window_fixture.h"
#include "mainwindow/frm_output_format.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

class OutputChoiceTest : public MainWindowFixture
{
protected:
    // Converts `text` into `name` in the output folder and decodes the file.
    tty::DecodedText convertAndDecode(const QString& text, const QString& name)
    {
        convert(text, out.filePath(name));
        return decoded(out.filePath(name));
    }
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
    child<QAction>("mnuOutputFormat")->trigger();
    QSettings ini(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Settings/OutputBaud").toString(), "50");
    EXPECT_EQ(ini.value("Settings/Transliterate").toString(), "1");

    // The next start has it back, and a box answered with the format alone keeps the transliteration.
    newWindow();
    window->setOutputChoiceDialog(answering);
    answer.reset();
    child<QAction>("mnuOutputFormat")->trigger();
    EXPECT_EQ(shown, (QList<OutputChoice>{{}, {{Encoding::Pcm16, 8000, -100, LineBaud::Baud50}, true}}));
    window->setOutputFormatDialog([](const OutputFormat&) {
        return OutputFormat{Encoding::Ulaw, 8000, -100};
    });
    child<QAction>("mnuOutputFormat")->trigger();
    EXPECT_EQ(window->outputChoice(), (OutputChoice{{Encoding::Ulaw, 8000, -100}, true}));

    // Spelt by the window's language: English until another is chosen, then German.
    EXPECT_EQ(convertAndDecode(QString::fromUtf8("Grüße"), "en.wav").text, "GRUSSE");
    setCurrentLCID(1031);
    EXPECT_EQ(convertAndDecode(QString::fromUtf8("Grüße"), "de.wav").text, "GRUESSE");
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('\n').toStdString();
}

TEST_F(OutputChoiceTest, aStoredBaudOrSwitchThatIsNotOfferedFallsBackToTheStandard)
{
    QSettings ini(settingsFile(), QSettings::IniFormat);
    ini.setValue("Settings/OutputBaud", "75");
    ini.setValue("Settings/Transliterate", "yes");
    ini.sync();
    EXPECT_EQ(window->outputChoice(), OutputChoice{});
    EXPECT_DOUBLE_EQ(convertAndDecode("HI", "std.wav").bursts.at(0).baud, 45.45);
}
