// The main window by object name, offscreen, with fake message boxes and save dialog, private settings.
#include "conversion/diagnostic_output.h"
#include "localization/string_table.h"
#include "main_window_fixture.h"
#include "mainwindow/announcer.h"
#include "mainwindow/frm_output_format.h"
#include "platform/app_error.h"
#include "platform/save_dialog.h"
#include "platform/twips.h"
#include "platform/widgets/qt_dialogs.h"

#include <functional>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>

using namespace quillfen;
using namespace quillfen::testing;

namespace {

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

class MainWindowTest : public MainWindowFixture
{
protected:
    // Drags `urls` onto `target` and drops them there if the drag was let in: whether it was, and
    // whether the drop was taken.
    static std::pair<bool, bool> drop(QWidget* target, const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return {false, false};
        QDropEvent dropped(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        return {true, dropped.isAccepted()};
    }
};

} // namespace

TEST_F(MainWindowTest, captionsAndTabOrderWithTheFocusShownAtStart)
{
    window->frmMain_Auto_Init();
    EXPECT_EQ(child<QPushButton>("cmdConstructWavFromString")->text(), QStringLiteral("&Create WAV File"));
    // A line, without a stray "-" drawn on it.
    EXPECT_TRUE(child<QAction>("seperator")->isSeparator());
    EXPECT_EQ(child<QAction>("seperator")->text(), QString());

    window->show();
    auto* browse = child<QPushButton>("cmdBrowse");
    EXPECT_TRUE(waitFor([&] { return QApplication::focusWidget() == browse; }));
    // It shows that it has the focus: it looks different once the focus has gone.
    const QImage focused = browse->grab().toImage();
    child<QPlainTextEdit>("txtInputText")->setFocus();
    EXPECT_TRUE(waitFor([&] { return !browse->hasFocus(); }));
    EXPECT_NE(browse->grab().toImage(), focused);
    browse->setFocus();
    QStringList order;
    for (QWidget* w = QApplication::focusWidget(); order.size() < 5;) {
        w = w->nextInFocusChain();
        if (w->focusPolicy() != Qt::NoFocus && w->isVisibleTo(window.get()) && !w->objectName().isEmpty())
            order << w->objectName();
    }
    EXPECT_EQ(order, (QStringList{"txtInputText", "cmdConstructWavFromString", "cmdExit", "txtOutputFileName",
                                  "txtDiag"}));

    // A screen reader lists the controls top to bottom, as they are read.
    QStringList read;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        for (int i = 0; i < node->childCount(); ++i) {
            QAccessibleInterface* c = node->child(i);
            if (c->role() == QAccessible::Grouping || c->role() == QAccessible::EditableText ||
                c->role() == QAccessible::PushButton)
                read << c->object()->objectName();
            walk(c);
        }
    };
    walk(QAccessible::queryAccessibleInterface(window->centralWidget()));
    EXPECT_EQ(read, (QStringList{"frameFileName", "txtOutputFileName", "cmdBrowse", "frameTextInput",
                                 "txtInputText", "frameDiagnosticOutput", "txtDiag",
                                 "cmdConstructWavFromString", "cmdExit"}));
}

TEST_F(MainWindowTest, startUpWritesTheSettingsTheNextStartRestoresThemCutToTheDesktop)
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

    // Beyond the desktop it is cut to it and saved so, before a window of 1e30 twips asks for a
    // backing store of terabytes.
    QSettings ini(settingsFile(), QSettings::IniFormat);
    ini.setValue("Settings/FormWidth", "1e30");
    ini.setValue("Settings/FormHeight", "1e30");
    ini.sync();
    newWindow();
    ASSERT_TRUE(window->Form_Load());
    const QSize desktop = window->screen()->virtualSize() * 15;
    // Whole pixels may make the window up to one pixel larger than asked.
    EXPECT_TRUE(window->Width() <= desktop.width() + 15 && window->Height() <= desktop.height() + 15)
        << window->Width() << " x " << window->Height();
    ini.sync();
    EXPECT_EQ(QSize(ini.value("Settings/FormWidth").toInt(), ini.value("Settings/FormHeight").toInt()),
              desktop);
    window->show();
    EXPECT_TRUE(waitFor([&] { return window->isVisible(); }));
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('\n').toStdString();
}

TEST_F(MainWindowTest, theOuterFrameComesBackWhereItWasOrOnTheScreenAndIsSavedSo)
{
    // Stored "Left,Top" -> where the frame is shown and saved again: on the screen it round-trips,
    // an edge off the screen comes back to 0 and the other edge stays.
    const std::pair<QString, QString> cases[] = {{"1500,3000", "1500,3000"},
                                                 {"-500,-48000", "0,0"},
                                                 {"1000000,3000", "0,3000"},
                                                 {"1500,1000000", "1500,0"}};
    for (const auto& [stored, shown] : cases) {
        QSettings ini(settingsFile(), QSettings::IniFormat);
        ini.setValue("Settings/FormLeft", stored.section(',', 0, 0));
        ini.setValue("Settings/FormTop", stored.section(',', 1));
        ini.sync();
        newWindow();
        ASSERT_TRUE(window->Form_Load());
        window->show();
        ASSERT_TRUE(waitFor([&] { return window->windowHandle() && window->windowHandle()->isExposed(); }));
        EXPECT_EQ(QString::number(window->Left()) + "," + QString::number(window->Top()), shown)
            << stored.toStdString();
        window->ExitApplication();
        ini.sync();
        EXPECT_EQ(ini.value("Settings/FormLeft").toString() + "," + ini.value("Settings/FormTop").toString(),
                  shown);
    }
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('\n').toStdString();
}

TEST_F(MainWindowTest, resizingKeepsTheMinimumAndRefitsTheControls_butNotWhenMinimized)
{
    window->show();
    window->setWidth(2000);
    window->setHeight(2000);
    // Whole pixels: the window snaps back to the smallest size at or above the minimum.
    EXPECT_TRUE(waitFor([&] { return window->Width() >= 3900 && window->Height() >= 4575; }))
        << window->Width() << " x " << window->Height();
    EXPECT_TRUE(window->Width() < 3900 + 15 && window->Height() < 4575 + 15);
    // The window system is told that minimum, so a drag stops there.
    const QSize least = window->windowHandle()->minimumSize();
    const float leastWidth =
        twipsFromPixels(least.width()) + window->Width() - twipsFromPixels(window->width());
    const float leastHeight =
        twipsFromPixels(least.height()) + window->Height() - twipsFromPixels(window->height());
    EXPECT_TRUE(leastWidth >= 3900 && leastWidth < 3900 + 15) << leastWidth;
    EXPECT_TRUE(leastHeight >= 4575 && leastHeight < 4575 + 15) << leastHeight;

    window->setWidth(15000);
    window->setHeight(9000);
    auto* exit = child<QPushButton>("cmdExit");
    EXPECT_TRUE(waitFor([&] { return exit->x() == (15000 - 1470) / 15; })) << exit->x();
    EXPECT_EQ(child<QPlainTextEdit>("txtInputText")->size(),
              QSize(qRound((window->Width() - 345) / 15), qRound((window->Height() - 4299) / 15)));

    // Minimized and off the screen, where the rules would bring a shown window back, it stays.
    window->setWindowState(Qt::WindowMinimized);
    ASSERT_TRUE(window->isMinimized());
    window->move(-2000, -2000);
    window->Form_Resize();
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(-2000, -2000));
}

TEST_F(MainWindowTest, browseOffersTheFileTypesTakesTheChosenNameAndCancelKeepsTheOldOne)
{
    AnsweringDialog dialog;
    auto* name = child<QLineEdit>("txtOutputFileName");
    name->setText("/some/where/old name.ulaw");
    child<QPushButton>("cmdBrowse")->click();
    EXPECT_EQ(name->text(), QStringLiteral("/some/where/old name.ulaw"));
    // Every file type, the output's own chosen at first.
    EXPECT_EQ(dialog.filters.size(), qsizetype(outputFileTypes().size()));
    EXPECT_EQ(dialog.selectedFilter, outputFileTypes()[1].filter());
    dialog.answer = "/tmp/new.WAV";
    child<QPushButton>("cmdBrowse")->click();
    EXPECT_EQ(name->text(), QStringLiteral("/tmp/new.WAV"));
    EXPECT_EQ(dialog.asked, QStringList(2, "/some/where/old name.ulaw .WAV"));
    EXPECT_TRUE(boxes.texts.isEmpty());
}

// A bare name lands in the home folder, beside the default output, not over the prompt of that name
// in the program directory where the run works.
TEST_F(MainWindowTest, createWavFileWritesTheFileAndPutsItsBytesAndItsNameOnTheClipboard)
{
    const QByteArray prompt = fileBytes(QDir(kProgramDir).filePath("LTRS.wav"));
    const QString wav = QDir::home().filePath("LTRS.wav");
    QFile::remove(wav);
    convert("hi\n5", "LTRS.wav");
    EXPECT_EQ(diag(),
              "Original String=HI\n5\nNew Text=HI 5\nConverstion from text to TTY WAV file complete\n\n");
    EXPECT_EQ(decode(wav), "HI 5");
    EXPECT_EQ(fileBytes(QDir(kProgramDir).filePath("LTRS.wav")), prompt);
    const QByteArray bytes = fileBytes(wav);
    ASSERT_TRUE(QApplication::clipboard()->mimeData());
    for (const char* type : {"audio/wav", "audio/x-wav"})
        EXPECT_EQ(QApplication::clipboard()->mimeData()->data(type), bytes) << type;
    EXPECT_EQ(QApplication::clipboard()->mimeData()->urls(), QList<QUrl>{QUrl::fromLocalFile(wav)});
    EXPECT_TRUE(boxes.texts.isEmpty());

    // A file that cannot be read does not take the place of our earlier copy.
    window->myCopyWavToClipboard(out.filePath("gone.wav"));
    EXPECT_EQ(QApplication::clipboard()->mimeData()->data("audio/wav"), bytes);
    QFile::remove(wav);
}

TEST_F(MainWindowTest, conversionsThatCannotRunLeaveClipboardAndDiskAlone)
{
    QApplication::clipboard()->setText("what the user copied");
    mainDiagnostics().clearDiagnostics();
    convert("", out.filePath("empty.wav"));
    EXPECT_EQ(diag(), QString()); // only asks for text

    convert("HI", out.filePath("missing dir/out.wav"));
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
    EXPECT_EQ(boxes.texts, QStringList(5, "(error):75 (Path/File access error: " + settingsFile() +
                                              ") in procedure SaveSettings of Module Module1"));
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

TEST_F(MainWindowTest, aSecondStartEndsAtOnceTouchingNothingAndBringsThisWindowForward)
{
    // However deep the runtime folder lies: a socket path holds only 107 bytes.
    QTemporaryDir runtimes;
    const QString deep = runtimes.filePath(QString(150 - runtimes.path().size() - 1, QLatin1Char('r')));
    ASSERT_TRUE(QDir().mkpath(deep) &&
                QFile::setPermissions(deep, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QByteArray ownRuntime = qgetenv("XDG_RUNTIME_DIR");
    for (const QString& runtime : {QString::fromLocal8Bit(ownRuntime), deep}) {
        SCOPED_TRACE(runtime.toStdString());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        newWindow();
        ASSERT_TRUE(window->Form_Load());
        window->show();
        window->showMinimized();
        ASSERT_TRUE(waitFor([&] { return window->isMinimized(); }));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", out.path()); // where the second copy would save its settings
        EXPECT_EQ(runProgram(QDir(kProgramDir).filePath("Quillfen"), {}, {}, {}, env).exitCode, 0);
        EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList());
        EXPECT_TRUE(
            waitFor([&] { return !window->isMinimized() && QApplication::activeWindow() == window.get(); }));
        EXPECT_EQ(terminations, 0);
        EXPECT_TRUE(boxes.texts.isEmpty());
        releaseInstanceLock();
    }
    qputenv("XDG_RUNTIME_DIR", ownRuntime);
}

TEST_F(MainWindowTest, f10OpensTheMenuBarTheArrowKeysAndEnterReachTheCommandsAndF1OpensHelp)
{
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QSignalSpy about(window.get(), &frmMain::aboutRequested);
    QSignalSpy update(window.get(), &frmMain::updateCheckRequested);
    const auto key = [](Qt::Key k) {
        QWidget* to = QApplication::activePopupWidget() ? QApplication::activePopupWidget()
                                                        : QApplication::focusWidget();
        ASSERT_NE(to, nullptr);
        QTest::keyClick(to, k);
    };
    key(Qt::Key_F10);
    ASSERT_TRUE(waitFor([&] { return child<QMenu>("mnuFile")->isVisible(); }));
    key(Qt::Key_Right);
    ASSERT_TRUE(waitFor([&] { return child<QMenu>("mainHelp")->isVisible(); }));
    key(Qt::Key_Down); // past the separator
    key(Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return about.size() == 1; }));
    key(Qt::Key_F10);
    key(Qt::Key_Left); // round to Help
    key(Qt::Key_Up);   // from the top entry up to the last
    key(Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return update.size() == 1; }));
    EXPECT_EQ(child<QMenu>("mnuFile")->title(), QStringLiteral("File")); // captions as designed

    QSignalSpy help(window.get(), &frmMain::helpRequested);
    key(Qt::Key_F1);
    EXPECT_TRUE(waitFor([&] { return help.size() == 1; }));
    EXPECT_EQ(child<QAction>("mnuHelp")->text(), QStringLiteral("Help"));
}

TEST_F(MainWindowTest, droppingTextFilesOnTheTextBoxInsertsTheirTextAndNothingElse)
{
    window->show();
    auto* box = child<QPlainTextEdit>("txtInputText");
    const auto file = [&](const QString& name, const QByteArray& bytes) {
        EXPECT_TRUE(writeFile(out.filePath(name), bytes));
        return QUrl::fromLocalFile(out.filePath(name));
    };
    const QUrl greeting = file("greeting.txt", "GA\r\nSK"), note = file("note", "HI ");
    const QUrl big = file("big.txt", QByteArray(2 << 20, 'E'));
    QByteArray binary;
    for (int b = 0; b < 256; ++b)
        binary += char(b);
    const QUrl table = file("table.bin", binary);
    // Dropped at the start of "AB": whether it is taken, and what the box then holds.
    const struct
    {
        QList<QUrl> urls;
        bool taken;
        QString text;
    } drops[] = {
        {{greeting}, true, "GA\nSKAB"},
        {{note, greeting}, true, "HI GA\nSKAB"},
        {{table}, false, "AB"},
        {{greeting, table}, false, "AB"},
        {{big}, true, "AB"}, // too large: reported, nothing inserted
    };
    for (const auto& d : drops) {
        box->setPlainText("AB");
        EXPECT_EQ(drop(box->viewport(), d.urls), std::pair(d.taken, d.taken)) << d.text.toStdString();
        EXPECT_EQ(box->toPlainText(), d.text);
    }
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith("(error):6 (")) << boxes.texts[0].toStdString();
    EXPECT_TRUE(boxes.texts[0].endsWith(") in procedure txtInputText_OLEDragDrop of Form frmMain"));
}

// A screen reader is told each outcome as a notification that shows, whatever has the focus: the
// event that reaches it carries the text. The diagnostic box, as ever, has the outcome in sight,
// whether the run ended in an error, a success or an error again.
TEST_F(MainWindowTest, eachOutcomeShowsANotificationAndIsTheBoxsLastLine)
{
    static QStringList* heard = nullptr;
    QStringList said;
    heard = &said;
    Announcer::setEventSink([](QAccessibleEvent* event) {
        QAccessibleInterface* source = event->accessibleInterface();
        if (event->type() == QAccessible::ObjectShow && source->role() == QAccessible::Notification)
            *heard << source->text(QAccessible::Name);
    });
    const auto restore = qScopeGuard([] { Announcer::setEventSink(nullptr); });
    window->show();
    auto* box = child<QPlainTextEdit>("txtDiag");
    const auto lineShown = [box](const QString& line) {
        const QTextCursor at = box->document()->find(line);
        return !at.isNull() && box->viewport()->rect().contains(box->cursorRect(at));
    };
    const QString tooLong(32768, QLatin1Char('E')), wav = out.filePath("a.wav");
    const std::tuple<QString, QString, QString> runs[] = {
        {tooLong, "b.wav", "(error):6 (the text has 32768 characters"},
        {QString(3000, QLatin1Char('E')), "long.wav", "Converstion from text to TTY WAV file complete"},
        {tooLong, "b.wav", "(error):6 (the text has 32768 characters"},
        {"HI", "missing dir/c.wav", "(error):75 (wavcat: "},
        {"HI", "a.wav", "Converstion from text to TTY WAV file complete"}};
    for (const auto& [text, name, outcome] : runs) {
        SCOPED_TRACE(outcome.toStdString());
        convert(text, out.filePath(name));
        QApplication::processEvents();
        ASSERT_FALSE(said.isEmpty());
        EXPECT_TRUE(said.last().startsWith(outcome)) << said.last().toStdString();
        EXPECT_TRUE(lineShown(outcome));
        EXPECT_TRUE(text.size() < 1000 || !lineShown("Original String=")); // scrolled past a long text
    }
    window->decodeRecordings({wav});
    ASSERT_EQ(said.size(), 6);
    EXPECT_EQ(said[5], "TTY text decoded from " + wav + ":\n[00:00.2] HI");
    // What a screen reader finds later: the notification still carries the last outcome.
    QAccessibleInterface* notification = QAccessible::queryAccessibleInterface(child<Announcer>("announcer"));
    EXPECT_EQ(notification->text(QAccessible::Name), said[5]);
}

TEST_F(MainWindowTest, recordingsChosenInTheMenuOrDroppedOnTheWindowAreDecodedIntoTheDiagnosticBox)
{
    AnsweringOpenDialog dialog;

    const QString wav = out.filePath("hi.wav"), idle = out.filePath("idle.WAV"),
                  gone = out.filePath("gone.wav");
    convert("~", idle);
    convert("HI 5", wav);
    auto* menuItem = child<QAction>("mnuDecodeRecording");
    ASSERT_TRUE(child<QMenu>("mnuFile")->actions().contains(menuItem));
    menuItem->trigger(); // cancelled: nothing happens
    EXPECT_FALSE(diag().contains("decoded from"));
    // After a conversion, whose run works in the program directory, the dialog still opens at home.
    EXPECT_EQ(dialog.directories, QStringList{QDir::homePath()});
    EXPECT_TRUE(dialog.filters.first().contains("*.wav"));
    // Each under its name: the text, that there is none, or why it could not be read.
    dialog.answer = {wav, idle, gone};
    menuItem->trigger();
    const QString decoded = "TTY text decoded from " + wav + ":\n[00:00.2] HI 5\n\n";
    EXPECT_TRUE(diag().endsWith(decoded + "TTY text decoded from " + idle + ":\nNo TTY text found in " +
                                idle + "\n\nTTY text decoded from " + gone +
                                ":\n(error):53 (File not found: " + gone +
                                ": no such file) in procedure mnuDecodeRecording_Click of Form frmMain\n\n"))
        << diag().toStdString();

    // Dropped on the text box, a recording is decoded and the text is left alone; other files are
    // not the window's business.
    auto* text = child<QPlainTextEdit>("txtInputText");
    text->setPlainText("KEEP");
    const QString before = diag();
    EXPECT_EQ(drop(text->viewport(), {QUrl::fromLocalFile(wav), QUrl::fromLocalFile(idle)}),
              std::pair(true, true));
    EXPECT_EQ(diag(), before + decoded + "TTY text decoded from " + idle + ":\nNo TTY text found in " + idle +
                          "\n\n");
    EXPECT_EQ(text->toPlainText(), QStringLiteral("KEEP"));
    const QString notes = out.filePath("notes.txt");
    drop(text->viewport(), {QUrl::fromLocalFile(notes)});
    EXPECT_FALSE(diag().contains(notes));
    // On the output name such a file is refused as a drop: the name stays as it was.
    auto* name = child<QLineEdit>("txtOutputFileName");
    name->setText("greeting.wav");
    EXPECT_EQ(drop(name, {QUrl::fromLocalFile(notes)}), std::pair(false, false));
    EXPECT_EQ(name->text(), "greeting.wav");
    // The next open dialog starts where the last recordings came from.
    menuItem->trigger();
    EXPECT_EQ(dialog.directories.last(), out.path());
}

// The dialog the program really uses, answered the way a user would.
TEST_F(MainWindowTest, theRealSaveDialogGivesANameWithoutExtensionTheChosenTypes)
{
    SaveDialogRequest request{"Select file to store WAV output", ".WAV", out.filePath("x.ulaw")};
    for (const OutputFileType& type : outputFileTypes())
        request.filters << type.filter();
    request.selectedFilter = request.filters.value(1);
    // Typed name, the file type then picked (-1: none), the name given.
    const std::tuple<QString, int, QString> answers[] = {{"greeting", -1, "greeting.ulaw"},
                                                         {"greeting", 3, "greeting.sln"},
                                                         {"greeting", 0, "greeting.WAV"},
                                                         {"greeting.al", 0, "greeting.al"}};
    for (const auto& [typed, type, given] : answers) {
        QTimer::singleShot(50, [&, typed, type] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            EXPECT_TRUE(d->testOption(QFileDialog::DontConfirmOverwrite)); // Browse never asks
            if (type >= 0) {
                d->selectNameFilter(request.filters.value(type));
                emit d->filterSelected(request.filters.value(type)); // as when the user picks it
            }
            d->findChild<QLineEdit*>("fileNameEdit")->setText(out.filePath(typed));
            QMetaObject::invokeMethod(d, "accept");
        });
        EXPECT_EQ(QtSaveDialog().ShowSave(request), out.filePath(given));
    }
}

// The box the program really shows, built as it is before it is shown.
TEST_F(MainWindowTest, theRealMessageBoxIsTitledQuillfenUnlessToldOtherwiseWithOkAsDefault)
{
    const std::tuple<QString, MessageButtons, QString, QMessageBox::StandardButtons> cases[] = {
        {"", MessageButtons::Ok, "Quillfen", QMessageBox::Ok},
        {"Update", MessageButtons::OkCancel, "Update", QMessageBox::Ok | QMessageBox::Cancel}};
    for (const auto& [title, buttons, shownTitle, shownButtons] : cases) {
        const auto box = makeMessageBox("text", buttons, title);
        EXPECT_EQ(box->windowTitle(), shownTitle);
        EXPECT_EQ(box->text(), "text");
        EXPECT_EQ(box->standardButtons(), shownButtons);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Ok));
    }
}
