// File, Spoken Part: the box that chooses the recordings, the choice remembered across starts, and
// the one line a run with a spoken part adds after the designed ones.
#include "main_window_fixture.h"
#include "mainwindow/frm_spoken_part.h"
#include "support/wav_files.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

#include <cmath>
#include <numbers>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

class SpokenPartWindow : public MainWindowFixture
{
};

} // namespace

TEST_F(SpokenPartWindow, theBoxShowsEachPlacesFileNameAndChoosesOrClearsIt)
{
    AnsweringOpenDialog dialog;
    frmSpokenPart box({"/greetings/wait.flac", {}});
    const auto text = [&](const char* name) { return box.findChild<QLabel*>(name)->text(); };
    const auto button = [&](const char* name) { return box.findChild<QPushButton*>(name); };
    EXPECT_EQ(text("lblBeforeFile"), "wait.flac");
    EXPECT_EQ(text("lblAfterFile"), "(none)");
    EXPECT_FALSE(button("cmdNoneAfter")->isEnabled());

    // Cancel keeps the place as it was; the dialog opens beside the recording already chosen.
    button("cmdChooseAfter")->click();
    EXPECT_EQ(dialog.asked, QStringList{"Select a recording to say in voice @ /greetings"});
    EXPECT_TRUE(dialog.filters.first().contains("*.flac") && dialog.filters.first().contains("*.ogg"));
    EXPECT_EQ(box.chosen(), (SpokenParts{"/greetings/wait.flac", {}}));

    dialog.answer = {"/elsewhere/thanks.wav"};
    button("cmdChooseAfter")->click();
    EXPECT_EQ(text("lblAfterFile"), "thanks.wav");
    button("cmdNoneBefore")->click();
    EXPECT_EQ(text("lblBeforeFile"), "(none)");
    EXPECT_FALSE(button("cmdNoneBefore")->isEnabled());
    EXPECT_EQ(box.chosen(), (SpokenParts{{}, "/elsewhere/thanks.wav"}));
}

TEST_F(SpokenPartWindow, theChoiceIsRememberedAndARunWithItAddsOneLineAfterTheDesignedOnes)
{
    // Half a second of a voice-like hum, enough to be heard and no TTY tone.
    test::Sound hum{SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 1, {}};
    for (int i = 0; i < 8000; ++i)
        hum.samples.push_back(0.3 * std::sin(2 * std::numbers::pi * 180.0 * i / 16000.0) *
                              std::sin(std::numbers::pi * i / 8000.0));
    const QString recording = out.filePath("please wait.wav");
    ASSERT_TRUE(test::writeSound(QFile::encodeName(recording).toStdString(), hum));

    const QString wav = out.filePath("greeting.wav");
    const QString designed = convert("Hello GA", wav);
    const qint64 plainSize = QFileInfo(wav).size();

    QList<SpokenParts> shown;
    std::optional<SpokenParts> answer = SpokenParts{recording, {}};
    const auto answering = [&](const SpokenParts& current) {
        shown << current;
        return answer;
    };
    window->setSpokenPartDialog(answering);
    auto* menuItem = child<QAction>("mnuSpokenPart");
    ASSERT_TRUE(child<QMenu>("mnuFile")->actions().contains(menuItem));
    EXPECT_EQ(menuItem->text(), "Spoken Part...");
    menuItem->trigger();
    QSettings ini(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Settings/SpokenPartBefore").toString(), recording);
    EXPECT_FALSE(ini.contains("Settings/SpokenPartAfter"));

    EXPECT_EQ(convert("Hello GA", wav), designed + "Spoken part before the tones: please wait.wav\n");
    EXPECT_GT(QFileInfo(wav).size(), plainSize + 8000);

    // The next start has it back; Cancel keeps it; none is none again.
    newWindow();
    window->setSpokenPartDialog(answering);
    answer.reset();
    child<QAction>("mnuSpokenPart")->trigger();
    EXPECT_EQ(convert("Hello GA", wav), designed + "Spoken part before the tones: please wait.wav\n");
    answer = SpokenParts{};
    child<QAction>("mnuSpokenPart")->trigger();
    EXPECT_EQ(convert("Hello GA", wav), designed);
    EXPECT_EQ(QFileInfo(wav).size(), plainSize);
    EXPECT_EQ(shown, (QList<SpokenParts>{{}, {recording, {}}, {recording, {}}}));
    ini.sync();
    EXPECT_FALSE(ini.contains("Settings/SpokenPartBefore"));
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('\n').toStdString();
}
