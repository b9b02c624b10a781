// The Output Format box: the format, baud and transliteration shown, taken, remembered across starts,
// and used by the window's files, its clipboard and its conversions in the window's language.
#include "conversion/clipboard_wav.h"
#include "main_window_fixture.h"
#include "mainwindow/frm_output_format.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMimeData>

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

TEST_F(OutputChoiceTest, theBoxShowsTheChoiceAndWhatItIsGoodForAndTakesChanges)
{
    EXPECT_EQ(frmOutputFormat({Encoding::Alaw, 16000, -125}).choice(),
              (OutputChoice{{Encoding::Alaw, 16000, -125}, false}));
    frmOutputFormat box(OutputChoice{{Encoding::Alaw, 16000, -125, LineBaud::Baud50}, true}, nullptr);
    auto* encoding = box.findChild<QComboBox*>("cboEncoding");
    auto* rate = box.findChild<QComboBox*>("cboSampleRate");
    auto* use = box.findChild<QLabel*>("lblFormatUse");
    auto* baud = box.findChild<QComboBox*>("cboBaud");
    auto* spell = box.findChild<QCheckBox*>("chkTransliterate");
    ASSERT_TRUE(encoding && rate && use && baud && spell);
    EXPECT_EQ(baud->count(), 2);
    EXPECT_EQ(box.choice(), (OutputChoice{{Encoding::Alaw, 16000, -125, LineBaud::Baud50}, true}));
    EXPECT_EQ(use->text(), formatUse(box.chosen()));
    encoding->setCurrentIndex(encoding->findText(QString::fromUtf8("µ-law")));
    rate->setCurrentIndex(rate->findText("8000 Hz"));
    EXPECT_EQ(use->text(), formatUse({Encoding::Ulaw, 8000, -125}));
    box.findChild<QDoubleSpinBox*>("txtLevel")->setValue(-40.0); // below the range: held at -30
    baud->setCurrentIndex(baud->findData(static_cast<int>(LineBaud::Baud45)));
    spell->setChecked(false);
    EXPECT_EQ(box.choice(), (OutputChoice{{Encoding::Ulaw, 8000, -300, LineBaud::Baud45}, false}));
    EXPECT_FALSE(baud->currentText().isEmpty() || spell->text().isEmpty());
}

TEST_F(OutputChoiceTest, theChoiceIsRememberedAcrossStarts_andFilesAndTheClipboardUseIt)
{
    // A stored value that the box does not offer falls back to the standard, value by value.
    QSettings ini(settingsFile(), QSettings::IniFormat);
    for (const auto& [key, value] : {std::pair{"OutputEncoding", "ULAW"},
                                     {"OutputRate", "9600"},
                                     {"OutputLevel", "-12.5"},
                                     {"OutputBaud", "75"},
                                     {"Transliterate", "yes"}})
        ini.setValue(QStringLiteral("Settings/") + key, value);
    ini.sync();
    QList<OutputChoice> shown;
    std::optional<OutputChoice> answer = OutputChoice{{Encoding::Ulaw, 8000, -150, LineBaud::Baud50}, true};
    const auto answering = [&](const OutputChoice& current) {
        shown << current;
        return answer;
    };
    window->setOutputChoiceDialog(answering);
    child<QAction>("mnuOutputFormat")->trigger();
    ini.sync();
    EXPECT_EQ(ini.value("Settings/OutputBaud").toString(), "50");
    EXPECT_EQ(ini.value("Settings/Transliterate").toString(), "1");

    // The next start has it back; Cancel keeps it.
    newWindow();
    window->setOutputChoiceDialog(answering);
    answer.reset();
    child<QAction>("mnuOutputFormat")->trigger();
    EXPECT_EQ(shown, (QList<OutputChoice>{{{Encoding::Pcm16, 8000, -125}, false},
                                          {{Encoding::Ulaw, 8000, -150, LineBaud::Baud50}, true}}));
    const QString wav = out.filePath("u.wav");
    convert("hi 5", wav);
    EXPECT_EQ(fileBytes(wav).mid(20, 2), QByteArray("\x07\x00", 2)); // the WAVE format tag of µ-law
    EXPECT_DOUBLE_EQ(decoded(wav).bursts.at(0).baud, 50.0);
    // A headerless file goes to the clipboard as the same samples in a WAV header.
    convert("hi 5", out.filePath("g.ulaw"));
    const QByteArray samples = fileBytes(out.filePath("g.ulaw"));
    EXPECT_FALSE(samples.isEmpty() || samples.startsWith("RIFF"));
    ASSERT_TRUE(QApplication::clipboard()->mimeData());
    EXPECT_EQ(QApplication::clipboard()->mimeData()->data("audio/wav"),
              wavFromHeaderless(samples, Encoding::Ulaw, 8000));

    // A box answered with the format alone keeps the transliteration.
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
