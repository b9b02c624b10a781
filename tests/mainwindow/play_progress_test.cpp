// The focus shown on every control, playing the output file, and a long run shown and cancelled.
#include "about/frm_about.h"
#include "conversion/output_format.h"
#include "conversion/playback_audio.h"
#include "conversion/prompt_sets.h"
#include "localization/string_table.h"
#include "main_window_fixture.h"
#include "mainwindow/announcer.h"
#include "mainwindow/frm_main.h"
#include "mainwindow/frm_message_set.h"
#include "mainwindow/frm_output_format.h"
#include "mainwindow/frm_spoken_part.h"
#include "platform/app_error.h"
#include "platform/process.h"
#include "support/wav_files.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPalette>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QStyle>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

// White on black with a yellow highlight, as high-contrast themes are.
QPalette darkHighContrast()
{
    QPalette p;
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::AlternateBase, QPalette::Button})
        p.setColor(role, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::BrightText})
        p.setColor(role, Qt::white);
    p.setColor(QPalette::Highlight, Qt::yellow);
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::Link, Qt::cyan);
    return p;
}

// The controls of `form` that the keyboard can reach.
QList<QWidget*> focusable(QWidget* form)
{
    QList<QWidget*> out;
    for (QWidget* w : form->findChildren<QWidget*>())
        if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy())
            out << w;
    return out;
}

// Names of the controls that look the same with the focus as without it.
QStringList focusNotShown(QWidget* form)
{
    form->show();
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form));
    const QList<QWidget*> controls = focusable(form);
    EXPECT_GE(controls.size(), 2);
    QStringList unseen;
    for (QWidget* control : controls) {
        QWidget* other = controls.constFirst() == control ? controls.constLast() : controls.constFirst();
        other->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
        const QImage without = control->grab().toImage();
        control->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
        EXPECT_TRUE(control->hasFocus()) << control->objectName().toStdString();
        if (control->grab().toImage() == without)
            unseen << control->objectName();
    }
    return unseen;
}

class PlayProgressTest : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        palette = QApplication::palette();
    }
    void TearDown() override
    {
        QApplication::setPalette(palette);
        qunsetenv("PULSE_SERVER");
        MainWindowFixture::TearDown();
    }
    // A fresh start with the captions and menus of the program's language.
    void newCaptionedWindow(const QString& programDir = kProgramDir)
    {
        newWindow(programDir);
        window->frmMain_Auto_Init();
    }

    QPalette palette;
};

} // namespace

TEST_F(PlayProgressTest, everyControlShowsItsFocusInTheStandardAndADarkHighContrastPalette)
{
    for (const auto& [name, palette] : {std::pair{"standard", QApplication::style()->standardPalette()},
                                        std::pair{"dark high contrast", darkHighContrast()}}) {
        SCOPED_TRACE(name);
        QApplication::setPalette(palette);
        newCaptionedWindow();
        EXPECT_EQ(focusNotShown(window.get()), QStringList());
        frmAbout about;
        about.Form_Load();
        EXPECT_EQ(focusNotShown(&about), QStringList());
        about.hide();
        // The boxes of the File menu.
        frmOutputFormat format(OutputFormat{}, window.get());
        frmSpokenPart spoken(SpokenParts{}, window.get());
        frmMessageSet set(kProgramDir, window.get());
        for (QDialog* box :
             {static_cast<QDialog*>(&format), static_cast<QDialog*>(&spoken), static_cast<QDialog*>(&set)}) {
            EXPECT_EQ(focusNotShown(box), QStringList()) << box->objectName().toStdString();
            box->hide();
        }
    }
}

TEST_F(PlayProgressTest, theAboutBoxShowsWhereTheFocusIsAsItOpensBeforeAnyKeyIsPressed)
{
    frmAbout about;
    QString holder, unseen = "the box never became active";
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* focused = QApplication::focusWidget();
        if (!about.isActiveWindow() || !focused)
            return;
        poll.stop();
        holder = focused->objectName();
        const QImage shown = focused->grab().toImage();
        focused->clearFocus();
        QApplication::processEvents();
        unseen = focused->grab().toImage() == shown ? holder : QString();
        about.cmdOK_Click();
    });
    poll.start(10);
    about.showModally();
    EXPECT_FALSE(holder.isEmpty());
    EXPECT_EQ(unseen, QString());
}

TEST_F(PlayProgressTest, playingAMissingFileOrWithoutADeviceSaysWhyAndReturns)
{
    // No sound server can answer at this address, whatever the machine has.
    qputenv("PULSE_SERVER", "unix:/nonexistent/quillfen-test");
    newCaptionedWindow();
    QAction* play = child<QAction>("mnuPlayOutput");
    ASSERT_NE(play, nullptr);
    EXPECT_EQ(play->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));

    child<QLineEdit>("txtOutputFileName")->setText(out.filePath("none.wav"));
    play->trigger();
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.texts[0], myLoadResString(IDS_PLAY_NO_OUTPUT_FILE).arg(out.filePath("none.wav")));
    EXPECT_FALSE(play->isChecked());

    const QString wav = out.filePath("tones.wav");
    ASSERT_TRUE(test::writeSound(wav.toStdString(), {.samples = std::vector<double>(800, 0.25)}));
    child<QLineEdit>("txtOutputFileName")->setText(wav);
    play->trigger();
    ASSERT_EQ(boxes.texts.size(), 2);
    EXPECT_EQ(boxes.texts[1], myLoadResString(IDS_PLAY_NO_DEVICE));
    EXPECT_FALSE(play->isChecked());
}

TEST_F(PlayProgressTest, theOutputIsReadForPlayingInEveryEncodingItIsWrittenIn)
{
    const std::vector<double> ramp{0.0, 0.25, -0.25, 0.5, -0.5};
    struct Case
    {
        const char* name;
        test::Sound sound;
        int rate;
        int channels;
    } const cases[] = {
        {"a.wav", {.samples = ramp}, 8000, 1},
        {"b.wav", {.rate = 16000, .channels = 1, .samples = ramp}, 16000, 1},
        {"c.wav", {.format = SF_FORMAT_WAV | SF_FORMAT_ULAW, .channels = 1, .samples = ramp}, 8000, 1},
        {"d.ulaw", {.format = SF_FORMAT_RAW | SF_FORMAT_ULAW, .samples = ramp}, 8000, 1},
        {"e.sln16", {.format = SF_FORMAT_RAW | SF_FORMAT_PCM_16, .rate = 16000, .samples = ramp}, 16000, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = out.filePath(c.name);
        ASSERT_TRUE(test::writeSound(path.toStdString(), c.sound));
        const PlaybackAudio audio = readPlaybackAudio(path);
        EXPECT_EQ(audio.sampleRate, c.rate);
        EXPECT_EQ(audio.channels, c.channels);
        ASSERT_EQ(audio.samples.size(), ramp.size());
        for (std::size_t i = 0; i < ramp.size(); ++i)
            EXPECT_NEAR(audio.samples[i] / 32768.0, ramp[i], 0.02) << i;
    }
    ASSERT_TRUE(writeFile(out.filePath("text.wav"), "not a sound at all"));
    EXPECT_THROW(readPlaybackAudio(out.filePath("text.wav")), AppError);
    EXPECT_THROW(readPlaybackAudio(out.filePath("missing.wav")), AppError);
}

TEST_F(PlayProgressTest, theExpectedSizeOfAnOutputIsTheSizeWavcatWrites)
{
    const struct
    {
        const char* text;
        const char* output;
    } cases[] = {{"HELLO", "a.wav"}, {"CALL 555-1234 NOW!", "b.wav"}, {"A1 B2", "c.ulaw"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        LineCollector lines;
        ConversionRun run(lines, kProgramDir);
        const QString output = out.filePath(c.output);
        ASSERT_EQ(run.cmdConstructWavFromString_Click(c.text, output), RunOutcome::Completed)
            << lines.lines.join("\n").toStdString();
        // "wavcat PROMPT ... "OUTPUT" ": the prompts are the words between.
        QStringList words = run.WavcatCommand().split(' ', Qt::SkipEmptyParts);
        const QStringList prompts = words.mid(1, words.size() - 2);
        const QString promptDir =
            promptSetDirectory(formatForOutput(run.outputFormat(), output), kProgramDir);
        EXPECT_EQ(expectedOutputBytes(prompts, promptDir, output), QFileInfo(output).size());
    }
}

TEST_F(PlayProgressTest, aChildCanBeWaitedForABitAskedToEndAndItsWritingCounted)
{
    // The shell writes the bytes itself, then becomes sleep: one process throughout.
    const std::int64_t pid =
        startProcessHidden("/bin/sh", {"-c", "printf '%300000s' x; exec sleep 30"}, QString(), nullptr);
    EXPECT_TRUE(waitFor([&] { return processBytesWritten(pid).value_or(0) >= 300000; }));
    EXPECT_FALSE(waitForProcessEnd(pid, 20));
    EXPECT_TRUE(terminateProcess(pid));
    EXPECT_TRUE(waitForProcessEnd(pid, 10000));
    const auto ended = reapChild(pid);
    ASSERT_TRUE(ended.has_value());
    EXPECT_FALSE(ended->exited);
    EXPECT_EQ(ended->code, SIGTERM);
    EXPECT_TRUE(waitForProcessEnd(pid, 0)); // gone: nothing to wait for
}

TEST_F(PlayProgressTest, aLongRunShowsItsProgressAndCancelLeavesTheEarlierOutputAsItWas)
{
    // The program directory as built, but the first prompt is a pipe that nothing writes: the real
    // wavcat waits on it for as long as the test likes.
    QTemporaryDir programDir;
    for (const QFileInfo& file :
         QDir(kProgramDir).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (file.fileName() != "smallsilence.wav") {
            ASSERT_TRUE(QFile::link(file.absoluteFilePath(), programDir.filePath(file.fileName())));
        }
    }
    const QByteArray fifo = QFile::encodeName(programDir.filePath("smallsilence.wav"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    // Held open for writing, and never written: wavcat's read waits.
    const int writer = ::open(fifo.constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    const auto closeWriter = qScopeGuard([writer] { ::close(writer); });

    const QString output = out.filePath("earlier.wav");
    const QByteArray earlier = "RIFF an earlier output, kept byte for byte";
    ASSERT_TRUE(writeFile(output, earlier));
    newCaptionedWindow(programDir.path());
    child<QLineEdit>("txtOutputFileName")->setText(output);
    child<QPlainTextEdit>("txtInputText")->setPlainText("HELLO");

    QStringList said;
    QObject::connect(window->findChild<Announcer*>("announcer"), &Announcer::announced,
                     [&](const QString& text) { said << text; });
    bool progressSeen = false;
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        auto* dialog = window->findChild<QProgressDialog*>("progressConversion");
        if (!dialog || !dialog->isVisible())
            return;
        progressSeen = dialog->labelText() == myLoadResString(IDS_CONVERSION_PROGRESS) &&
                       dialog->maximum() > dialog->minimum();
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            if (button->text() == myLoadResString(IDS_CANCEL_CONVERSION))
                button->click();
    });
    cancel.start(20);
    QElapsedTimer took;
    took.start();
    child<QPushButton>("cmdConstructWavFromString")->click(); // returns once wavcat has ended
    cancel.stop();
    ASSERT_LT(took.elapsed(), 60000);

    EXPECT_TRUE(progressSeen);
    EXPECT_EQ(fileBytes(output), earlier);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"earlier.wav"});
    const QStringList lines = diag().split('\n');
    EXPECT_EQ(lines.count(myLoadResString(IDS_CONVERSION_CANCELLED)), 1) << diag().toStdString();
    EXPECT_TRUE(lines.filter("(error):").isEmpty()) << diag().toStdString();
    EXPECT_TRUE(lines.contains(myLoadResString(IDS_NEW_TEXT) + "HELLO")) << diag().toStdString();
    EXPECT_EQ(window->findChild<QProgressDialog*>("progressConversion"), nullptr);
    EXPECT_EQ(said, QStringList{myLoadResString(IDS_CONVERSION_CANCELLED)}); // said, not as an error
}
