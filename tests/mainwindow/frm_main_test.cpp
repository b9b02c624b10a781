// The main window by object name, offscreen, with fake message boxes and save dialog, private settings.
#include "conversion/clipboard_wav.h"
#include "conversion/diagnostic_output.h"
#include "conversion/tty_decoder.h"
#include "localization/mod_localize.h"
#include "localization/string_table.h"
#include "mainwindow/frm_main.h"
#include "mainwindow/frm_output_format.h"
#include "platform/app_error.h"
#include "platform/open_dialog.h"
#include "platform/save_dialog.h"
#include "platform/session.h"
#include "platform/widgets/qt_dialogs.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

using namespace quillfen;
using quillfen::testing::RecordingMessages;
using quillfen::testing::waitFor;

namespace {

const QString kProgramDir = QStringLiteral(QUILLFEN_TEST_PROGRAM_DIR);

struct AnsweringDialog final : SaveDialog
{
    AnsweringDialog() { setSaveDialog(this); }
    ~AnsweringDialog() override { setSaveDialog(nullptr); }
    QString ShowSave(const SaveDialogRequest& r) override
    {
        asked << r.fileName + " " + r.defaultExt;
        filters = r.filters;
        selectedFilter = r.selectedFilter;
        return answer.isNull() ? throw AppError(kCancelErrorNumber, "Cancel was selected.") : answer;
    }
    QString answer; // null: Cancel
    QStringList asked;
    QStringList filters;
    QString selectedFilter;
};

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
        resetLanguageState();
        setProgramLocation(kProgramDir, "Quillfen");
        newWindow();
    }
    void newWindow()
    {
        window.reset();
        releaseInstanceLock();
        terminations = 0;
        window = std::make_unique<frmMain>(kProgramDir);
        window->setTerminate([this] { ++terminations; });
    }
    template <typename T> T* child(const char* name) { return window->findChild<T*>(name); }
    void convert(const QString& text, const QString& wav)
    {
        child<QLineEdit>("txtOutputFileName")->setText(wav);
        child<QPlainTextEdit>("txtInputText")->setPlainText(text);
        child<QPushButton>("cmdConstructWavFromString")->click();
    }
    QString diag() { return child<QPlainTextEdit>("txtDiag")->toPlainText(); }
    QString settingsFile() const { return config.filePath("Veltrane/Quillfen.ini"); }

    QTemporaryDir config;
    QTemporaryDir out;
    RecordingMessages boxes;
    std::unique_ptr<frmMain> window;
    int terminations = 0;
};

} // namespace

TEST_F(MainWindowTest, captionsDefaultNameAndTabOrder)
{
    window->frmMain_Auto_Init();
    EXPECT_EQ(child<QPushButton>("cmdConstructWavFromString")->text(), QStringLiteral("&Create WAV File"));
    EXPECT_EQ(child<QLineEdit>("txtOutputFileName")->text(), QDir::homePath() + "/TTYOutput.wav");
    child<QLineEdit>("txtOutputFileName")->setText("/elsewhere.wav");
    window->frmMain_Auto_Init(); // relocalizing puts the default name back
    EXPECT_EQ(child<QLineEdit>("txtOutputFileName")->text(), defaultOutputFileName());

    window->show();
    EXPECT_TRUE(waitFor([&] { return QApplication::focusWidget() == child<QPushButton>("cmdBrowse"); }));
    QStringList order;
    for (QWidget* w = QApplication::focusWidget(); order.size() < 5;) {
        w = w->nextInFocusChain();
        if (w->focusPolicy() != Qt::NoFocus && w->isVisibleTo(window.get()) && !w->objectName().isEmpty())
            order << w->objectName();
    }
    EXPECT_EQ(order, (QStringList{"txtInputText", "cmdConstructWavFromString", "cmdExit", "txtOutputFileName",
                                  "txtDiag"}));
}

TEST_F(MainWindowTest, startUpWritesTheSettingsTheNextStartRestoresThemAndOffScreenIsPutBack)
{
    ASSERT_TRUE(window->Form_Load());
    EXPECT_EQ(QSettings(settingsFile(), QSettings::IniFormat).value("Settings/FormWidth").toString(), "9930");
    window->setLeft(1500);
    window->setTop(3000);
    window->setWidth(12000);
    window->setHeight(6010);
    window->ExitApplication();
    newWindow();
    ASSERT_TRUE(window->Form_Load());
    EXPECT_EQ(QRectF(window->Left(), window->Top(), window->Width(), window->Height()),
              QRectF(1500, 3000, 12000, 6010));

    QSettings(settingsFile(), QSettings::IniFormat).setValue("Settings/FormLeft", "-500");
    QSettings(settingsFile(), QSettings::IniFormat).setValue("Settings/FormTop", "-48000");
    QSettings(settingsFile(), QSettings::IniFormat).setValue("Settings/FormWidth", "100");
    newWindow();
    ASSERT_TRUE(window->Form_Load());
    window->show();
    EXPECT_TRUE(waitFor([&] { return window->Top() >= 0 && window->Left() >= 0; }));
    EXPECT_TRUE(waitFor([&] { return window->Width() == 3900.0f; })) << window->Width();
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('\n').toStdString();
}

TEST_F(MainWindowTest, resizingKeepsTheMinimumAndRefitsTheControls)
{
    window->show();
    window->setWidth(2000);
    window->setHeight(2000);
    // Whole pixels: the window snaps back to the smallest size at or above the minimum.
    EXPECT_TRUE(waitFor([&] { return window->Width() >= 3900 && window->Height() >= 4575; }))
        << window->Width() << " x " << window->Height();
    EXPECT_TRUE(window->Width() < 3900 + 15 && window->Height() < 4575 + 15);

    window->setWidth(15000);
    window->setHeight(9000);
    auto* exit = child<QPushButton>("cmdExit");
    EXPECT_TRUE(waitFor([&] { return exit->x() == (15000 - 1470) / 15; })) << exit->x();
    EXPECT_EQ(child<QPlainTextEdit>("txtInputText")->size(),
              QSize(qRound((window->Width() - 345) / 15), qRound((window->Height() - 4299) / 15)));
}

TEST_F(MainWindowTest, browseTakesTheChosenNameCancelKeepsTheOldOneAndTheRealDialogAddsTheExtension)
{
    AnsweringDialog dialog;
    auto* name = child<QLineEdit>("txtOutputFileName");
    name->setText("/some/where/old name.wav");
    child<QPushButton>("cmdBrowse")->click();
    EXPECT_EQ(name->text(), QStringLiteral("/some/where/old name.wav"));
    dialog.answer = "/tmp/new.WAV";
    child<QPushButton>("cmdBrowse")->click();
    EXPECT_EQ(name->text(), QStringLiteral("/tmp/new.WAV"));
    EXPECT_EQ(dialog.asked, QStringList(2, "/some/where/old name.wav .WAV"));
    QTimer::singleShot(50, [this] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->findChild<QLineEdit*>("fileNameEdit")->setText(out.filePath("greeting"));
        QMetaObject::invokeMethod(d, "accept");
    });
    // The dialog the program really uses, answered the way a user would.
    EXPECT_EQ(QtSaveDialog().ShowSave({"Select file to store WAV output", ".WAV", out.filePath("x.wav")}),
              out.filePath("greeting.WAV"));
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(MainWindowTest, createWavFileWritesADecodableWavAndPutsItsBytesOnTheClipboard)
{
    const QString wav = out.filePath("hi five.wav");
    convert("hi\n5", wav);
    EXPECT_EQ(QString::fromStdString(tty::decodeFile(QFile::encodeName(wav).toStdString()).text), "HI 5");
    EXPECT_EQ(diag(),
              "Original String=HI\n5\nNew Text=HI 5\nConverstion from text to TTY WAV file complete\n\n");
    QFile file(wav);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly) && QApplication::clipboard()->mimeData());
    EXPECT_EQ(QApplication::clipboard()->mimeData()->data("audio/wav"), file.readAll());
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(MainWindowTest, conversionsThatCannotRunLeaveClipboardAndDiskAlone)
{
    QApplication::clipboard()->setText("what the user copied");
    mainDiagnostics().clearDiagnostics();
    convert("", out.filePath("empty.wav"));
    EXPECT_EQ(diag(), QString()); // only asks for text

    convert("HI", out.filePath("missing dir/out.wav"));
    EXPECT_TRUE(diag().contains("(error):75 (wavcat: ")) << diag().toStdString();
    convert(QString(40000, QLatin1Char('E')), out.filePath("huge.wav"));
    EXPECT_TRUE(diag().contains("(error):6 (the text has 40000 characters")) << diag().toStdString();
    // Copying a file that is not there is reported once, and creates nothing either.
    window->myCopyWavToClipboard(out.filePath("none.wav"));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("what the user copied"));
    EXPECT_EQ(boxes.texts, (QStringList{"You must first enter some text to convert into TTY/TDD WAV format.",
                                        "(error):53 (File not found: " + out.filePath("none.wav") +
                                            ") in procedure myCopyWavToClipboard of Form frmMain"}));
}

TEST_F(MainWindowTest, everyWayOutSavesOnceAndEnds)
{
    const std::function<void()> ways[] = {[this] { child<QPushButton>("cmdExit")->click(); },
                                          [this] { child<QAction>("mnuExit")->trigger(); },
                                          [this] { window->show(); }};
    for (const auto& way : ways) {
        newWindow();
        QFile::remove(settingsFile());
        way();
        window->close(); // the way out, or a second one that must not save again
        EXPECT_EQ(terminations, 1);
        EXPECT_TRUE(QFileInfo::exists(settingsFile()));
    }
    // The file's place taken by a directory, which no one can write, not even root: one save of
    // five entries is reported, not two, and the program still ends.
    ASSERT_TRUE(QFile::remove(settingsFile()) && QDir().mkpath(settingsFile()));
    newWindow();
    ways[0]();
    window->close();
    EXPECT_EQ(terminations, 1);
    ASSERT_EQ(boxes.texts.size(), 5);
    EXPECT_TRUE(boxes.texts[0].endsWith(") in procedure SaveSettings of Module Module1"));
}

TEST_F(MainWindowTest, remoteSessionIsRefusedAfterSavingTheInitialGeometry)
{
    setRemoteSessionForTesting(true);
    const bool keepGoing = window->Form_Load();
    setRemoteSessionForTesting(false);
    EXPECT_FALSE(keepGoing);
    EXPECT_EQ(boxes.texts, QStringList{myLoadResString(IDS_REMOTE_SESSION_REFUSED)});
    EXPECT_EQ(terminations, 1);
    EXPECT_EQ(QSettings(settingsFile(), QSettings::IniFormat).value("Settings/FormHeight").toString(),
              "4990");
}

TEST(SecondCopy, endsSilentlyAndTouchesNothing)
{
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.path());
    env.insert("XDG_RUNTIME_DIR", home.path());
    const QString ini = home.filePath("Veltrane/Quillfen.ini");
    QProcess first, second;
    first.setProcessEnvironment(env);
    second.setProcessEnvironment(env);
    first.start(QDir(kProgramDir).filePath("Quillfen"));
    // The first copy has finished starting once all five entries are there.
    ASSERT_TRUE(waitFor([&] { return QSettings(ini, QSettings::IniFormat).allKeys().size() == 5; }, 20000));
    const QDateTime stamp = QFileInfo(ini).lastModified();
    second.start(first.program());
    EXPECT_TRUE(second.waitForFinished(20000));
    EXPECT_TRUE(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
    EXPECT_EQ(QFileInfo(ini).lastModified(), stamp);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

TEST_F(MainWindowTest, recordingsChosenInTheMenuOrDroppedOnTheWindowAreDecodedIntoTheDiagnosticBox)
{
    struct AnsweringOpenDialog final : OpenDialog
    {
        AnsweringOpenDialog() { setOpenDialog(this); }
        ~AnsweringOpenDialog() override { setOpenDialog(nullptr); }
        QStringList ShowOpen(const OpenDialogRequest& r) override
        {
            filters = r.filters;
            return answer.isEmpty() ? throw cancelError() : answer;
        }
        QStringList answer, filters;
    } dialog;

    const QString wav = out.filePath("hi.wav");
    convert("HI 5", wav);
    ASSERT_TRUE(waitFor([&] { return QFile::exists(wav); }));
    window->frmMain_Auto_Init();
    auto* menuItem = window->findChild<QAction*>("mnuDecodeRecording");
    ASSERT_NE(menuItem, nullptr);
    EXPECT_EQ(menuItem->text(), QStringLiteral("Decode TTY Recording..."));

    menuItem->trigger(); // cancelled: nothing happens
    EXPECT_FALSE(diag().contains("decoded from"));
    EXPECT_TRUE(dialog.filters.first().contains("*.wav"));

    dialog.answer = {wav};
    menuItem->trigger();
    EXPECT_TRUE(diag().endsWith("TTY text decoded from " + wav + ":\n[00:00.2] HI 5\n\n"))
        << diag().toStdString();

    // Dropped on the text box, a recording is decoded and the text is left alone; other files are
    // not the window's business.
    auto* text = child<QPlainTextEdit>("txtInputText");
    text->setPlainText("KEEP");
    const auto drop = [&](const QString& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        // Qt delivers a drop only where the drag was let in.
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(text->viewport(), &enter);
        QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(text->viewport(), &event);
        return enter.isAccepted() && event.isAccepted();
    };
    const QString before = diag();
    EXPECT_TRUE(drop(wav));
    EXPECT_EQ(diag(), before + "TTY text decoded from " + wav + ":\n[00:00.2] HI 5\n\n");
    EXPECT_EQ(text->toPlainText(), QStringLiteral("KEEP"));
    const QString notes = out.filePath("notes.txt");
    drop(notes);
    EXPECT_FALSE(diag().contains(notes));
}

TEST_F(MainWindowTest, outputFormatIsChosenFromTheFileMenuRememberedAndUsedForFileAndClipboard)
{
    QStringList menu;
    for (const QAction* action : child<QMenu>("mnuFile")->actions())
        menu << action->objectName();
    EXPECT_EQ(menu, (QStringList{"mnuDecodeRecording", "mnuOutputFormat", "", "mnuExit"}));

    QList<OutputFormat> shown;
    std::optional<OutputFormat> answer = OutputFormat{Encoding::Ulaw, 8000, -150};
    const auto answering = [&](const OutputFormat& current) {
        shown << current;
        return answer;
    };
    window->setOutputFormatDialog(answering);
    child<QAction>("mnuOutputFormat")->trigger();
    QSettings ini(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Settings/OutputEncoding").toString(), "ulaw");
    EXPECT_EQ(ini.value("Settings/OutputRate").toString(), "8000");
    EXPECT_EQ(ini.value("Settings/OutputLevel").toString(), "-15.0");

    // The next start has it back; Cancel keeps it.
    newWindow();
    window->setOutputFormatDialog(answering);
    answer.reset();
    child<QAction>("mnuOutputFormat")->trigger();
    EXPECT_EQ(shown, (QList<OutputFormat>{OutputFormat{}, OutputFormat{Encoding::Ulaw, 8000, -150}}));

    const QString wav = out.filePath("u.wav"), raw = out.filePath("g.ulaw");
    convert("hi 5", wav);
    QFile file(wav);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(22).mid(20), QByteArray("\x07\x00", 2)); // the WAVE format tag of µ-law
    EXPECT_EQ(QString::fromStdString(tty::decodeFile(QFile::encodeName(wav).toStdString()).text), "HI 5");

    // A headerless file goes to the clipboard as the same samples in a WAV header.
    convert("hi 5", raw);
    QFile rawFile(raw);
    ASSERT_TRUE(rawFile.open(QIODevice::ReadOnly));
    const QByteArray samples = rawFile.readAll();
    EXPECT_FALSE(samples.startsWith("RIFF"));
    ASSERT_TRUE(QApplication::clipboard()->mimeData());
    EXPECT_EQ(QApplication::clipboard()->mimeData()->data("audio/wav"),
              wavFromHeaderless(samples, Encoding::Ulaw, 8000));
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('\n').toStdString();

    // Browse offers the file types, the output's own chosen at first.
    AnsweringDialog dialog;
    child<QPushButton>("cmdBrowse")->click();
    EXPECT_EQ(dialog.filters, (QStringList{"WAV files (*.wav)", QString::fromUtf8("µ-law raw (*.ulaw *.ul)"),
                                           "A-law raw (*.alaw *.al)",
                                           "16-bit signed linear PCM raw (*.sln *.sln16 *.sln48)"}));
    EXPECT_EQ(dialog.selectedFilter, dialog.filters.value(1));
}

TEST_F(MainWindowTest, aStoredFormatThatIsNotOfferedFallsBackValueByValue)
{
    QSettings ini(settingsFile(), QSettings::IniFormat);
    ini.setValue("Settings/OutputEncoding", "ULAW");
    ini.setValue("Settings/OutputRate", "9600");
    ini.setValue("Settings/OutputLevel", "-12.5");
    ini.sync();
    EXPECT_EQ(storedOutputFormat(), (OutputFormat{Encoding::Pcm16, 8000, -125}));
}

TEST_F(MainWindowTest, outputFormatBoxShowsTheChoiceAndWhatItIsGoodFor)
{
    frmOutputFormat box({Encoding::Alaw, 16000, -125});
    auto* encoding = box.findChild<QComboBox*>("cboEncoding");
    auto* rate = box.findChild<QComboBox*>("cboSampleRate");
    auto* level = box.findChild<QDoubleSpinBox*>("txtLevel");
    auto* use = box.findChild<QLabel*>("lblFormatUse");
    EXPECT_EQ(box.windowTitle(), "Output Format");
    EXPECT_EQ(encoding->currentText(), "A-law");
    EXPECT_EQ(rate->currentText(), "16000 Hz");
    EXPECT_EQ(level->value(), -12.5);
    EXPECT_EQ(use->text(), "16000 Hz A-law: for audio programs; few phone systems take it");
    encoding->setCurrentIndex(encoding->findText(QString::fromUtf8("µ-law")));
    rate->setCurrentIndex(rate->findText("8000 Hz"));
    EXPECT_EQ(use->text(), QString::fromUtf8("8 kHz µ-law: most voicemail systems"));
    level->setValue(-40.0); // below the range: held at -30
    EXPECT_EQ(box.chosen(), (OutputFormat{Encoding::Ulaw, 8000, -300}));
}

TEST_F(MainWindowTest, theRealSaveDialogGivesANameWithoutExtensionTheChosenTypes)
{
    SaveDialogRequest request{"Select file to store WAV output", ".WAV", out.filePath("x.ulaw")};
    for (const OutputFileType& type : outputFileTypes())
        request.filters << type.filter();
    request.selectedFilter = request.filters.value(1);
    const auto answer = [this](const QString& name, const QString& filter) {
        QTimer::singleShot(50, [this, name, filter] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            if (!filter.isEmpty()) {
                d->selectNameFilter(filter);
                emit d->filterSelected(filter); // as when the user picks it
            }
            d->findChild<QLineEdit*>("fileNameEdit")->setText(out.filePath(name));
            QMetaObject::invokeMethod(d, "accept");
        });
    };
    answer("greeting", {});
    EXPECT_EQ(QtSaveDialog().ShowSave(request), out.filePath("greeting.ulaw"));
    answer("greeting", request.filters.value(3));
    EXPECT_EQ(QtSaveDialog().ShowSave(request), out.filePath("greeting.sln"));
    answer("greeting", request.filters.value(0));
    EXPECT_EQ(QtSaveDialog().ShowSave(request), out.filePath("greeting.WAV"));
    answer("greeting.al", request.filters.value(0));
    EXPECT_EQ(QtSaveDialog().ShowSave(request), out.filePath("greeting.al"));
    EXPECT_EQ(filterSuffixes("A-law raw (*.alaw *.al)"), (QStringList{"alaw", "al"}));
}
