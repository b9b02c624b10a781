// The main window driven by object name, offscreen, with injected message boxes and save dialog and
// a private settings store.
#include "conversion/tty_decoder.h"
#include "localization/mod_localize.h"
#include "localization/string_table.h"
#include "mainwindow/diagnostic_output.h"
#include "mainwindow/frm_main.h"
#include "platform/app_error.h"
#include "platform/qt_dialogs.h"
#include "platform/save_dialog.h"
#include "platform/session.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace quillfen;
using quillfen::testing::RecordingMessages;
using quillfen::testing::waitFor;

namespace {

const QString kProgramDir = QStringLiteral(QUILLFEN_TEST_PROGRAM_DIR);

void app()
{
    ASSERT_NE(qApp, nullptr);
}

class AnsweringDialog final : public SaveDialog
{
public:
    AnsweringDialog() { setSaveDialog(this); }
    ~AnsweringDialog() override { setSaveDialog(nullptr); }
    QString ShowSave(const SaveDialogRequest& r) override
    {
        requests.push_back(r);
        if (answer.isNull())
            throw AppError(kCancelErrorNumber, "Cancel was selected.");
        return answer;
    }
    QString answer;
    std::vector<SaveDialogRequest> requests;
};

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        app();
        ASSERT_TRUE(config.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
        resetLanguageState();
        setProgramLocation(kProgramDir, "Quillfen");
        releaseInstanceLock();
        window = std::make_unique<frmMain>(kProgramDir);
        window->setTerminate([this] { ++terminations; });
    }
    void TearDown() override
    {
        window.reset();
        releaseInstanceLock();
        resetLanguageState();
    }
    template <typename T> T* child(const char* name)
    {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QString settingsFile() const { return config.filePath("Veltrane/Quillfen.ini"); }

    QTemporaryDir config;
    QTemporaryDir out;
    RecordingMessages boxes;
    std::unique_ptr<frmMain> window;
    int terminations = 0;
};

QRect px(int l, int t, int w, int h)
{
    return QRect(l / 15, t / 15, w / 15, h / 15);
}

} // namespace

TEST_F(MainWindowTest, controlsCaptionsPositionsAndTabOrderAreAsDesigned)
{
    window->frmMain_Auto_Init();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quillfen"));
    EXPECT_EQ(child<QGroupBox>("frameDiagnosticOutput")->title(), QStringLiteral("Diagnostic Output"));
    EXPECT_EQ(child<QGroupBox>("frameTextInput")->title(),
              QStringLiteral("Text to convert into TTY/TDD WAV file"));
    EXPECT_EQ(child<QGroupBox>("frameFileName")->title(), QStringLiteral("Output file name"));
    EXPECT_EQ(child<QPushButton>("cmdConstructWavFromString")->text(), QStringLiteral("&Create WAV File"));
    EXPECT_EQ(child<QPushButton>("cmdBrowse")->text(), QStringLiteral("&Browse..."));
    EXPECT_EQ(child<QPushButton>("cmdExit")->text(), QStringLiteral("E&xit"));
    EXPECT_EQ(child<QLineEdit>("txtOutputFileName")->text(), QDir::homePath() + "/TTYOutput.wav");
    EXPECT_EQ(child<QMenu>("mnuFile")->title(), QStringLiteral("File"));
    EXPECT_EQ(child<QMenu>("mainHelp")->title(), QStringLiteral("Help"));
    const QStringList helpEntries{"mnuHelp", "seperator", "mnuAbout", "mnuCheckForUpdatedVersion"};
    QStringList actual;
    for (QAction* a : child<QMenu>("mainHelp")->actions())
        actual << a->objectName();
    EXPECT_EQ(actual, helpEntries);
    EXPECT_EQ(child<QMenu>("mainHelp")->actions()[1]->text(), QStringLiteral("-"));
    EXPECT_EQ(child<QMenu>("mnuFile")->actions()[0]->objectName(), QStringLiteral("mnuExit"));

    // Children sit inside their frames at the designed places.
    EXPECT_EQ(child<QLineEdit>("txtOutputFileName")->parentWidget()->objectName(),
              QStringLiteral("frameFileName"));
    EXPECT_EQ(child<QPushButton>("cmdBrowse")->parentWidget()->objectName(), QStringLiteral("frameFileName"));
    EXPECT_EQ(child<QPlainTextEdit>("txtDiag")->parentWidget()->objectName(),
              QStringLiteral("frameDiagnosticOutput"));
    EXPECT_TRUE(child<QPlainTextEdit>("txtInputText")->verticalScrollBar() != nullptr);

    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>("cmdBrowse"));
    QStringList order;
    QWidget* w = child<QPushButton>("cmdBrowse");
    for (int i = 0; i < 5; ++i) {
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(window.get()) || w->objectName().isEmpty())
            w = w->nextInFocusChain();
        order << w->objectName();
    }
    EXPECT_EQ(order, (QStringList{"txtInputText", "cmdConstructWavFromString", "cmdExit", "txtOutputFileName",
                                  "txtDiag"}));
    // The designed outer size lays the bottom row out where the design has it.
    EXPECT_EQ(window->Width(), 9930);
    EXPECT_EQ(window->Height(), 4990);
    EXPECT_EQ(child<QPushButton>("cmdExit")->geometry(), px(8460, 3840, 1305, 435));
    EXPECT_EQ(child<QPushButton>("cmdConstructWavFromString")->geometry(), px(60, 3840, 1785, 435));
}

TEST_F(MainWindowTest, startUpWritesTheSettingsAndRestoresThemNextTime)
{
    ASSERT_TRUE(window->Form_Load());
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('\n').toStdString();
    QSettings stored(settingsFile(), QSettings::IniFormat);
    stored.beginGroup("Settings");
    EXPECT_EQ(stored.childKeys().size(), 5);
    EXPECT_EQ(stored.value("FormWidth").toString(), QStringLiteral("9930"));
    EXPECT_EQ(stored.value("EXEPath").toString(),
              QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath());
    stored.endGroup();

    window->setLeft(1500);
    window->setTop(3000);
    window->setWidth(12000);
    window->setHeight(6010);
    window->ExitApplication();
    window->ExitApplication();
    EXPECT_EQ(terminations, 1);

    window = std::make_unique<frmMain>(kProgramDir);
    window->setTerminate([] {});
    releaseInstanceLock();
    ASSERT_TRUE(window->Form_Load());
    EXPECT_EQ(window->Left(), 1500);
    EXPECT_EQ(window->Top(), 3000);
    EXPECT_EQ(window->Width(), 12000);
    EXPECT_EQ(window->Height(), 6010);
}

TEST_F(MainWindowTest, aStoredPositionOffTheScreenIsPutBackWhenShown)
{
    {
        QSettings s(settingsFile(), QSettings::IniFormat);
        s.setValue("Settings/FormTop", "-48000");
        s.setValue("Settings/formleft", "-500");
        s.setValue("Settings/FormWidth", "100");
    }
    ASSERT_TRUE(window->Form_Load());
    EXPECT_EQ(window->Top(), -48000); // applied as stored; the first resize corrects it
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_TRUE(waitFor([&] { return window->Top() >= 0 && window->Left() >= 0; }));
    EXPECT_TRUE(waitFor([&] { return window->Width() == 3900.0f; })) << window->Width();
}

TEST_F(MainWindowTest, resizingKeepsTheMinimumAndRefitsTheControls)
{
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->setWidth(2000);
    window->setHeight(2000);
    // Whole pixels: the window snaps back to the smallest size at or above the minimum.
    EXPECT_TRUE(waitFor([&] { return window->Width() >= 3900 && window->Height() >= 4575; }))
        << window->Width() << " x " << window->Height();
    EXPECT_LT(window->Width(), 3900 + 15);
    EXPECT_LT(window->Height(), 4575 + 15);
    EXPECT_EQ(child<QPushButton>("cmdExit")->x(), qRound((window->Width() - 1470) / 15));
    EXPECT_EQ(child<QPushButton>("cmdExit")->y(), qRound((window->Height() - 1150) / 15));
    EXPECT_EQ(child<QPlainTextEdit>("txtInputText")->height(), qRound((window->Height() - 3999 - 300) / 15));
    EXPECT_EQ(child<QPlainTextEdit>("txtInputText")->width(), qRound((window->Width() - 225 - 120) / 15));

    window->setWidth(15000);
    window->setHeight(9000);
    EXPECT_TRUE(waitFor([&] { return child<QPushButton>("cmdExit")->geometry().x() == (15000 - 1470) / 15; }))
        << child<QPushButton>("cmdExit")->geometry().x();
    EXPECT_EQ(child<QGroupBox>("frameTextInput")->height(), qRound((window->Height() - 3999) / 15));

    window->showMinimized();
    const QRect before = child<QPushButton>("cmdExit")->geometry();
    window->Form_Resize();
    EXPECT_EQ(child<QPushButton>("cmdExit")->geometry(), before);
}

TEST_F(MainWindowTest, browseTakesTheChosenNameAndCancelKeepsTheOldOne)
{
    AnsweringDialog dialog;
    auto* name = child<QLineEdit>("txtOutputFileName");
    name->setText("/some/where/old name.wav");
    child<QPushButton>("cmdBrowse")->click();
    EXPECT_EQ(name->text(), QStringLiteral("/some/where/old name.wav"));
    ASSERT_EQ(dialog.requests.size(), 1u);
    EXPECT_EQ(dialog.requests[0].title, QStringLiteral("Select file to store WAV output"));
    EXPECT_EQ(dialog.requests[0].defaultExt, QStringLiteral(".WAV"));
    EXPECT_EQ(dialog.requests[0].fileName, QStringLiteral("/some/where/old name.wav"));

    dialog.answer = "/tmp/new.WAV";
    child<QPushButton>("cmdBrowse")->click();
    EXPECT_EQ(name->text(), QStringLiteral("/tmp/new.WAV"));
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST_F(MainWindowTest, realSaveDialogAddsTheDefaultExtensionAndNeverAsksToOverwrite)
{
    // The dialog the program really uses, answered the way a user would.
    const QString existing = out.filePath("taken.wav");
    QFile(existing).open(QIODevice::WriteOnly);
    const std::pair<QString, QString> answers[] = {{out.filePath("greeting"), out.filePath("greeting.WAV")},
                                                   {existing, existing}};
    for (const auto& [typed, expected] : answers) {
        QTimer::singleShot(50, [typed = typed] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(edit, nullptr);
            edit->setText(typed);
            QMetaObject::invokeMethod(d, "accept");
        });
        QtSaveDialog real;
        EXPECT_EQ(real.ShowSave({"Select file to store WAV output", ".WAV", out.filePath("x.wav")}),
                  expected);
    }
}

TEST_F(MainWindowTest, createWavFileWritesTheWavLogsTheRunAndFillsTheClipboard)
{
    const QString wav = out.filePath("hi five.wav");
    child<QLineEdit>("txtOutputFileName")->setText(wav);
    child<QPlainTextEdit>("txtInputText")->setPlainText("hi\n5");
    child<QPushButton>("cmdConstructWavFromString")->click();

    EXPECT_EQ(QString::fromStdString(tty::decodeFile(QFile::encodeName(wav).toStdString()).text), "HI 5");
    EXPECT_EQ(
        child<QPlainTextEdit>("txtDiag")->toPlainText(),
        QStringLiteral(
            "Original String=HI\n5\nNew Text=HI 5\nConverstion from text to TTY WAV file complete\n\n"));
    EXPECT_EQ(
        mainDiagnostics().text(),
        QStringLiteral("Original String=HI\r\n5\r\nNew Text=HI 5\r\nConverstion from text to TTY WAV file "
                       "complete\r\n\r\n"));
    QFile file(wav);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->data("audio/wav"), bytes);
    EXPECT_EQ(clip->data("audio/x-wav"), bytes);
    EXPECT_TRUE(boxes.texts.isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowTest, failedConversionLeavesClipboardAndDiskAlone)
{
    QApplication::clipboard()->setText("what the user copied");
    const QString wav = out.filePath("missing dir/out.wav");
    child<QLineEdit>("txtOutputFileName")->setText(wav);
    child<QPlainTextEdit>("txtInputText")->setPlainText("HI");
    child<QPushButton>("cmdConstructWavFromString")->click();

    const QString diag = child<QPlainTextEdit>("txtDiag")->toPlainText();
    EXPECT_TRUE(diag.contains("(error):75 (wavcat: ")) << diag.toStdString();
    EXPECT_FALSE(diag.contains("Converstion from text to TTY WAV file complete"));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("what the user copied"));
    EXPECT_FALSE(QFileInfo::exists(out.filePath("missing dir")));
    EXPECT_TRUE(boxes.texts.isEmpty());

    // A huge paste is refused in the log, and the window goes on working.
    child<QPlainTextEdit>("txtInputText")->setPlainText(QString(40000, QLatin1Char('E')));
    child<QPushButton>("cmdConstructWavFromString")->click();
    EXPECT_TRUE(
        child<QPlainTextEdit>("txtDiag")->toPlainText().contains("(error):6 (the text has 40000 characters"));
    child<QLineEdit>("txtOutputFileName")->setText(out.filePath("after.wav"));
    child<QPlainTextEdit>("txtInputText")->setPlainText("GA");
    child<QPushButton>("cmdConstructWavFromString")->click();
    EXPECT_TRUE(child<QPlainTextEdit>("txtDiag")->toPlainText().contains(
        "Converstion from text to TTY WAV file complete"));
}

TEST_F(MainWindowTest, clipboardCopyReportsAMissingFileOnceAndCreatesNothing)
{
    QApplication::clipboard()->setText("kept");
    const QString path = out.filePath("none.wav");
    window->myCopyWavToClipboard(path);
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_EQ(boxes.texts[0],
              "(error):53 (File not found: " + path + ") in procedure myCopyWavToClipboard of Form frmMain");
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("kept"));
}

TEST_F(MainWindowTest, emptyTextOnlyAsksForText)
{
    mainDiagnostics().clearDiagnostics();
    window->DiagOutput("from before");
    child<QPushButton>("cmdConstructWavFromString")->click();
    EXPECT_EQ(boxes.texts, QStringList{"You must first enter some text to convert into TTY/TDD WAV format."});
    EXPECT_EQ(mainDiagnostics().text(), QStringLiteral("from before\r\n"));
}

TEST_F(MainWindowTest, relocalizingPutsTheDefaultOutputNameBack)
{
    child<QLineEdit>("txtOutputFileName")->setText("/elsewhere.wav");
    window->frmMain_Auto_Init();
    EXPECT_EQ(child<QLineEdit>("txtOutputFileName")->text(), defaultOutputFileName());
}

TEST_F(MainWindowTest, everyWayOutSavesOnceAndEnds)
{
    ASSERT_TRUE(window->Form_Load());
    QFile::remove(settingsFile());
    child<QPushButton>("cmdExit")->click();
    window->close(); // closing after Exit must not save a second time
    EXPECT_EQ(terminations, 1);
    EXPECT_TRUE(QFileInfo::exists(settingsFile()));

    for (const char* way : {"mnuExit", "close"}) {
        SCOPED_TRACE(way);
        window = std::make_unique<frmMain>(kProgramDir);
        int ends = 0;
        window->setTerminate([&] { ++ends; });
        QFile::remove(settingsFile());
        if (QString(way) == "close") {
            window->show();
            window->close();
        } else {
            child<QAction>("mnuExit")->trigger();
        }
        EXPECT_EQ(ends, 1);
        EXPECT_TRUE(QFileInfo::exists(settingsFile()));
    }
}

TEST_F(MainWindowTest, remoteSessionIsRefusedAfterSavingTheInitialGeometry)
{
    setRemoteSessionForTesting(true);
    const bool keepGoing = window->Form_Load();
    setRemoteSessionForTesting(false);
    EXPECT_FALSE(keepGoing);
    EXPECT_EQ(boxes.texts, QStringList{myLoadResString(34)});
    EXPECT_EQ(terminations, 1);
    QSettings stored(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(stored.value("Settings/FormWidth").toString(), QStringLiteral("9930"));
    EXPECT_EQ(stored.value("Settings/FormHeight").toString(), QStringLiteral("4990"));
}

TEST_F(MainWindowTest, unwritableStoreIsReportedOnceAtExitAndTheProgramStillEnds)
{
    // The settings file's place taken by a directory: no save can succeed, not even as root.
    ASSERT_TRUE(QDir().mkpath(settingsFile()));
    child<QPushButton>("cmdExit")->click();
    window->close();
    EXPECT_EQ(terminations, 1);
    ASSERT_EQ(boxes.texts.size(), 5); // one save of five entries, not two
    EXPECT_TRUE(boxes.texts[0].startsWith("(error):"));
    EXPECT_TRUE(boxes.texts[0].endsWith(") in procedure SaveSettings of Module Module1"));
}

TEST(SecondCopy, endsSilentlyAndTouchesNothing)
{
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_RUNTIME_DIR", home.path());
    const QString program = QDir(kProgramDir).filePath("Quillfen");
    const QString ini = home.filePath("config/Veltrane/Quillfen.ini");

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(program);
    ASSERT_TRUE(first.waitForStarted());
    // The first copy has finished starting once all five entries are there.
    ASSERT_TRUE(waitFor([&] { return QSettings(ini, QSettings::IniFormat).allKeys().size() == 5; }, 20000));
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    const QDateTime stamp = QFileInfo(ini).lastModified();

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(program);
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(QFileInfo(ini).lastModified(), stamp);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.kill();
    first.waitForFinished();
    // A lock left by a copy that was killed does not keep the next one out: it gets as far as
    // writing its settings.
    QFile::remove(ini);
    QProcess third;
    third.setProcessEnvironment(env);
    third.start(program);
    ASSERT_TRUE(third.waitForStarted());
    ASSERT_TRUE(waitFor([&] { return QFileInfo::exists(ini); }, 20000));
    EXPECT_EQ(third.state(), QProcess::Running);
    third.kill();
    third.waitForFinished();
}
