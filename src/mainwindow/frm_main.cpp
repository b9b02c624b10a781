#include "mainwindow/frm_main.h"

#include "conversion/clipboard_wav.h"
#include "conversion/diagnostic_output.h"
#include "conversion/recording_report.h"
#include "conversion/transliteration.h"
#include "localization/mod_localize.h"
#include "localization/open_forms.h"
#include "localization/string_table.h"
#include "localization/widgets/fonts.h"
#include "mainwindow/announcer.h"
#include "mainwindow/frm_message_set.h"
#include "mainwindow/frm_output_format.h"
#include "mainwindow/frm_spoken_part.h"
#include "mainwindow/output_player.h"
#include "platform/app_error.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/open_dialog.h"
#include "platform/process.h"
#include "platform/save_dialog.h"
#include "platform/session.h"
#include "platform/twips.h"
#include "platform/widgets/focus_ring.h"
#include "platform/widgets/outer_size.h"
#include "platform/widgets/program_icon.h"
#include "platform/widgets/sound_clipboard.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QShortcut>
#include <QTextCursor>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace quillfen {

const frmMain* frmMain::s_diagnosticsOwner = nullptr;

namespace {

// The frame and menu bar around the 9810 x 4305 client area of the design; with them the bottom
// row fits the client area as designed.
constexpr DesignFrame kDesignFrame{kDesignedWindowWidth - 9810, kDesignedWindowHeight - 4305};

// A run that takes longer than this shows how far it has got, and can be cancelled.
constexpr qint64 kProgressDelayMs = 1000;
constexpr int kProgressSteps = 1000;

void place(QWidget* w, const TwipsRect& r)
{
    w->setGeometry(pixelRect(r.left, r.top, r.width, r.height));
}

} // namespace

frmMain::frmMain(const QString& programDir, QWidget* parent)
    : QMainWindow(parent), m_run(mainDiagnostics(), programDir), m_layout(designedMainLayout())
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quillfen"));
    setWindowIcon(programIcon());
    buildControls();
    m_terminate = [this] {
        hide();
        QApplication::closeAllWindows();
        QCoreApplication::exit(0);
    };
    s_diagnosticsOwner = this;
    mainDiagnostics().setChangedCallback([this](const QString&) {
        // A run writes thousands of lines while the window cannot repaint: show them once it can.
        if (m_diagSyncPending)
            return;
        m_diagSyncPending = true;
        QMetaObject::invokeMethod(
            this, [this] { syncDiagnostics(); }, Qt::QueuedConnection);
    });
    registerOpenForm({objectName(), this, [this] { frmMain_Auto_Init(); },
                      [this] {
                          SetFormFonts(this);
                          FitCaptionFonts(this);
                      },
                      [this] { RefreshControls(this); }});
}

frmMain::~frmMain()
{
    if (m_answersLaterCopies)
        setActivationHandler({});
    // Another main window may have taken the diagnostics over (tests make several).
    if (s_diagnosticsOwner == this) {
        mainDiagnostics().setChangedCallback({});
        s_diagnosticsOwner = nullptr;
    }
}

void frmMain::buildControls()
{
    createControls();
    setFocusOrder();
    createMenus();
    connectCommands();
    acceptRecordingDrops();
    applyLayout(m_layout);
    resize(pixelsFromTwips(9810), pixelsFromTwips(4305) + menuBar()->sizeHint().height());
    setMinimumSize(minimumPixels(kMinimumWindowWidth, kMinimumWindowHeight, kDesignFrame, menuHeight()));
}

// The controls with their designed captions and object names; the language switch retitles them.
void frmMain::createControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    // The controls at their designed size, not the desktop's; the menus keep the desktop's.
    client->setFont(designedFont());
    setCentralWidget(client);

    m_frameDiagnosticOutput = new QGroupBox(QStringLiteral("Diagnostic Output"), client);
    m_frameDiagnosticOutput->setObjectName(QStringLiteral("frameDiagnosticOutput"));
    m_txtDiag = new QPlainTextEdit(m_frameDiagnosticOutput);
    m_txtDiag->setObjectName(QStringLiteral("txtDiag"));
    m_txtDiag->setReadOnly(true);
    m_txtDiag->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    m_frameTextInput = new QGroupBox(QStringLiteral("Text to convert into TTY/TDD WAV file"), client);
    m_frameTextInput->setObjectName(QStringLiteral("frameTextInput"));
    m_txtInputText = new QPlainTextEdit(m_frameTextInput);
    m_txtInputText->setObjectName(QStringLiteral("txtInputText"));
    m_txtInputText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_txtInputText->setTabChangesFocus(true);
    showFocusRing(m_txtDiag);
    showFocusRing(m_txtInputText);

    m_cmdConstructWavFromString = new QPushButton(QStringLiteral("&Create WAV File"), client);
    m_cmdConstructWavFromString->setObjectName(QStringLiteral("cmdConstructWavFromString"));

    m_frameFileName = new QGroupBox(QStringLiteral("Output file name"), client);
    m_frameFileName->setObjectName(QStringLiteral("frameFileName"));
    m_txtOutputFileName = new QLineEdit(defaultOutputFileName(), m_frameFileName);
    m_txtOutputFileName->setObjectName(QStringLiteral("txtOutputFileName"));
    m_cmdBrowse = new QPushButton(QStringLiteral("&Browse..."), m_frameFileName);
    m_cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));

    m_cmdExit = new QPushButton(QStringLiteral("E&xit"), client);
    m_cmdExit->setObjectName(QStringLiteral("cmdExit"));
    m_announcer = new Announcer(client);

    // Assistive technology lists the controls in their order among the client's children: make it
    // the reading order, top to bottom, rather than the order they were made in. Nothing overlaps,
    // so the stacking this also sets changes nothing on screen.
    for (QWidget* control :
         {static_cast<QWidget*>(m_frameFileName), static_cast<QWidget*>(m_frameTextInput),
          static_cast<QWidget*>(m_frameDiagnosticOutput), static_cast<QWidget*>(m_cmdConstructWavFromString),
          static_cast<QWidget*>(m_cmdExit)})
        control->raise();
}

void frmMain::setFocusOrder()
{
    for (QWidget* frame : {static_cast<QWidget*>(m_frameDiagnosticOutput),
                           static_cast<QWidget*>(m_frameTextInput), static_cast<QWidget*>(m_frameFileName)})
        frame->setFocusPolicy(Qt::NoFocus);
    setTabOrder(m_cmdBrowse, m_txtInputText);
    setTabOrder(m_txtInputText, m_cmdConstructWavFromString);
    setTabOrder(m_cmdConstructWavFromString, m_cmdExit);
    setTabOrder(m_cmdExit, m_txtOutputFileName);
    setTabOrder(m_txtOutputFileName, m_txtDiag);
    m_cmdBrowse->setFocus();
}

void frmMain::createMenus()
{
    m_mnuFile = menuBar()->addMenu(QStringLiteral("File"));
    m_mnuFile->setObjectName(QStringLiteral("mnuFile"));
    m_mnuDecodeRecording = m_mnuFile->addAction(QStringLiteral("Decode TTY Recording..."));
    m_mnuDecodeRecording->setObjectName(QStringLiteral("mnuDecodeRecording"));
    m_mnuOutputFormat = m_mnuFile->addAction(QStringLiteral("Output Format..."));
    m_mnuOutputFormat->setObjectName(QStringLiteral("mnuOutputFormat"));
    m_mnuConvertMessageSet = m_mnuFile->addAction(QStringLiteral("Convert Message Set..."));
    m_mnuConvertMessageSet->setObjectName(QStringLiteral("mnuConvertMessageSet"));
    m_mnuSpokenPart = m_mnuFile->addAction(QStringLiteral("Spoken Part..."));
    m_mnuSpokenPart->setObjectName(QStringLiteral("mnuSpokenPart"));
    m_mnuPlayOutput = m_mnuFile->addAction(QStringLiteral("Play Output File"));
    m_mnuPlayOutput->setObjectName(QStringLiteral("mnuPlayOutput"));
    m_mnuPlayOutput->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    // Checked while the file plays, so the menu and assistive technology show that choosing it stops.
    m_mnuPlayOutput->setCheckable(true);
    m_stopPlaying = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_stopPlaying->setEnabled(false);
    m_mnuFile->addSeparator();
    m_mnuExit = m_mnuFile->addAction(QStringLiteral("Exit"));
    m_mnuExit->setObjectName(QStringLiteral("mnuExit"));
    m_mainHelp = menuBar()->addMenu(QStringLiteral("Help"));
    m_mainHelp->setObjectName(QStringLiteral("mainHelp"));
    m_mnuHelp = m_mainHelp->addAction(QStringLiteral("Help"));
    m_mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    m_mnuHelp->setShortcut(QKeySequence::HelpContents);
    m_seperator = m_mainHelp->addSeparator();
    m_seperator->setObjectName(QStringLiteral("seperator"));
    m_mnuAbout = m_mainHelp->addAction(QStringLiteral("About"));
    m_mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    m_mnuCheckForUpdatedVersion = m_mainHelp->addAction(QStringLiteral("Check for updated version"));
    m_mnuCheckForUpdatedVersion->setObjectName(QStringLiteral("mnuCheckForUpdatedVersion"));
    // F10 opens the menu bar, as on Linux desktops; the arrow keys and Enter go on from there.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this,
            [this] { menuBar()->setActiveAction(m_mnuFile->menuAction()); });
}

void frmMain::connectCommands()
{
    connect(m_cmdExit, &QPushButton::clicked, this, [this] { ExitApplication(); });
    connect(m_mnuExit, &QAction::triggered, this, [this] { ExitApplication(); });
    connect(m_mnuDecodeRecording, &QAction::triggered, this, [this] { mnuDecodeRecording_Click(); });
    connect(m_mnuOutputFormat, &QAction::triggered, this, [this] { mnuOutputFormat_Click(); });
    connect(m_mnuConvertMessageSet, &QAction::triggered, this, [this] { mnuConvertMessageSet_Click(); });
    m_askOutputFormat = [this](const OutputChoice& current) { return askOutputChoice(current, this); };
    connect(m_mnuSpokenPart, &QAction::triggered, this, [this] { mnuSpokenPart_Click(); });
    m_askSpokenParts = [this](const SpokenParts& current) { return askSpokenParts(current, this); };
    connect(m_mnuPlayOutput, &QAction::triggered, this, [this] { mnuPlayOutput_Click(); });
    connect(m_stopPlaying, &QShortcut::activated, this, [this] { stopPlaying(); });
    connect(m_cmdBrowse, &QPushButton::clicked, this, [this] { cmdBrowse_Click(); });
    connect(m_cmdConstructWavFromString, &QPushButton::clicked, this,
            [this] { cmdConstructWavFromString_Click(); });
    connect(m_mnuAbout, &QAction::triggered, this, &frmMain::aboutRequested);
    connect(m_mnuHelp, &QAction::triggered, this, &frmMain::helpRequested);
    connect(m_mnuCheckForUpdatedVersion, &QAction::triggered, this, &frmMain::updateCheckRequested);
}

// Recordings dropped anywhere on the window are decoded, over the text boxes too, which would
// otherwise take the file's name as text.
void frmMain::acceptRecordingDrops()
{
    setAcceptDrops(true);
    for (QObject* box :
         {static_cast<QObject*>(m_txtOutputFileName), static_cast<QObject*>(m_txtInputText->viewport()),
          static_cast<QObject*>(m_txtDiag->viewport())})
        box->installEventFilter(this);
}

void frmMain::frmMain_Auto_Init()
{
    setWindowTitle(myLoadResString(IDS_PRODUCT_NAME));
    m_frameDiagnosticOutput->setTitle(myLoadResString(IDS_DIAGNOSTIC_OUTPUT));
    m_frameTextInput->setTitle(myLoadResString(IDS_TEXT_TO_CONVERT));
    m_cmdConstructWavFromString->setText(myLoadResString(IDS_CREATE_WAV_FILE));
    m_frameFileName->setTitle(myLoadResString(IDS_OUTPUT_FILE_NAME));
    m_txtOutputFileName->setText(defaultOutputFileName());
    m_cmdBrowse->setText(myLoadResString(IDS_BROWSE));
    m_cmdExit->setText(myLoadResString(IDS_EXIT_BUTTON));
    m_mnuFile->setTitle(myLoadResString(IDS_FILE_MENU));
    m_mnuDecodeRecording->setText(myLoadResString(IDS_DECODE_RECORDING));
    m_mnuOutputFormat->setText(myLoadResString(IDS_OUTPUT_FORMAT_MENU));
    m_mnuConvertMessageSet->setText(myLoadResString(IDS_MESSAGE_SET_MENU));
    m_mnuSpokenPart->setText(myLoadResString(IDS_SPOKEN_PART_MENU));
    m_mnuPlayOutput->setText(myLoadResString(IDS_PLAY_OUTPUT_MENU));
    m_mnuExit->setText(myLoadResString(IDS_EXIT_MENU));
    m_mainHelp->setTitle(myLoadResString(IDS_HELP));
    m_mnuHelp->setText(myLoadResString(IDS_HELP));
    m_mnuAbout->setText(myLoadResString(IDS_ABOUT));
    m_mnuCheckForUpdatedVersion->setText(myLoadResString(IDS_CHECK_FOR_UPDATE));
    FitCaptionFonts(this);
}

void frmMain::reportLoadError(const AppError& error, const char* procedure)
{
    messages().show(
        formatErrorReport(myLoadResString(IDS_ERROR_PREFIX), error,
                          QStringLiteral(") in procedure %1 of Form frmMain").arg(QLatin1String(procedure))),
        MessageButtons::Ok, {});
}

bool frmMain::Form_Load()
{
    frmMain_Auto_Init();
    const auto report = [this](const AppError& e) { reportLoadError(e, "Form_Load"); };

    bool another = false;
    // A test that fails counts as held: the copy ends.
    if (!reportAndContinue([&] { another = previousInstanceRunning(executableName()); }, report) || another)
        return false;
    setActivationHandler([this] { bringToFront(); });
    m_answersLaterCopies = true;
    reportAndContinue([] { SetPriority(Priority::BelowNormal); }, report);
    bool remote = true;
    reportAndContinue([&] { remote = GetSystemMetrics(SystemMetric::RemoteSession) != 0; }, report);
    if (remote) {
        messages().show(myLoadResString(IDS_REMOTE_SESSION_REFUSED), MessageButtons::Ok, {});
        ExitApplication();
        return false;
    }
    reportAndContinue([this] { LoadSettings(*this); }, report);
    reportAndContinue([this] { SaveSettings(*this); }, report);
    return true;
}

void frmMain::ExitApplication()
{
    if (m_exiting)
        return;
    m_exiting = true;
    try {
        SaveSettings(*this);
    } catch (...) {
        // Nothing may keep the program from ending.
    }
    if (m_terminate)
        m_terminate();
}

void frmMain::bringToFront()
{
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    // An open About box stays above the window it belongs to.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

void frmMain::closeEvent(QCloseEvent* event)
{
    ExitApplication();
    event->accept();
}

void frmMain::DiagOutput(const QString& text)
{
    mainDiagnostics().DiagOutput(text);
}

void frmMain::syncDiagnostics()
{
    m_diagSyncPending = false;
    QString shown = mainDiagnostics().text();
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_txtDiag->setPlainText(shown);
    // A run ends with its outcome: show the last lines, not the start of a long text.
    m_txtDiag->moveCursor(QTextCursor::End);
    m_txtDiag->ensureCursorVisible();
}

void frmMain::cmdConstructWavFromString_Click()
{
    // The text box holds its line breaks as CR LF, as the run expects of a text box.
    QString text = m_txtInputText->toPlainText();
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    const QString output = outputPath();
    RunOutcome outcome = RunOutcome::EmptyText;
    {
        m_runClock.start();
        m_run.setProgressHook([this](std::int64_t written, std::int64_t expected) {
            return showConversionProgress(written, expected);
        });
        const auto endProgress = qScopeGuard([this] {
            m_run.setProgressHook({});
            delete m_progress;
            m_progress = nullptr;
        });
        // Busy only while there is something to wait for, and never over a message box.
        const bool busy = !text.isEmpty();
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([busy] {
            if (busy)
                QApplication::restoreOverrideCursor();
        });
        const OutputChoice choice = outputChoice();
        m_run.setOutputFormat(choice.format);
        m_run.setSpelling(choice.transliterate ? std::optional(spellingRuleForLcid(CurrentLCID()))
                                               : std::nullopt);
        m_run.setSpokenParts(spokenParts());
        outcome = m_run.cmdConstructWavFromString_Click(text, output);
    }
    syncDiagnostics();
    repaint();
    announceOutcome(outcome);
    if (outcome == RunOutcome::Completed)
        myCopyWavToClipboard(output);
}

QString frmMain::outputPath() const
{
    // The run works in the program directory; a bare name must not land there, beside (or over)
    // the prompts, but beside the default output.
    return absoluteOutputPath(m_txtOutputFileName->text(), QFileInfo(defaultOutputFileName()).absolutePath(),
                              QDir::homePath());
}

// False when the user cancelled the run.
bool frmMain::showConversionProgress(std::int64_t written, std::int64_t expected)
{
    if (!m_progress && m_runClock.elapsed() >= kProgressDelayMs) {
        m_progress = new QProgressDialog(myLoadResString(IDS_CONVERSION_PROGRESS),
                                         myLoadResString(IDS_CANCEL_CONVERSION), 0, kProgressSteps, this);
        m_progress->setObjectName(QStringLiteral("progressConversion"));
        m_progress->setWindowTitle(myLoadResString(IDS_PRODUCT_NAME));
        m_progress->setWindowModality(Qt::WindowModal);
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
        m_progress->setMinimumDuration(0);
        SetFormFonts(m_progress);
        // The wait cursor would say that Cancel cannot be clicked.
        QApplication::changeOverrideCursor(Qt::BusyCursor);
        m_progress->show();
    }
    if (!m_progress) {
        // Short runs stay as they were: nothing to click, only the diagnostics to show.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    }
    // Never the whole: the sync before the file is renamed into place is still to come.
    const std::int64_t step =
        expected > 0 ? std::min<std::int64_t>(kProgressSteps - 1, written * kProgressSteps / expected) : 0;
    m_progress->setValue(int(step));
    QCoreApplication::processEvents();
    return !m_progress->wasCanceled();
}

void frmMain::announceOutcome(RunOutcome outcome)
{
    if (outcome == RunOutcome::EmptyText)
        return; // its message box speaks for itself
    if (outcome == RunOutcome::Completed) {
        m_announcer->announce(myLoadResString(IDS_CONVERSION_COMPLETE));
        return;
    }
    if (m_run.cancelled()) {
        m_announcer->announce(myLoadResString(IDS_CONVERSION_CANCELLED));
        return;
    }
    // The error line as the box shows it.
    const QStringList lines = mainDiagnostics().text().split(QStringLiteral("\r\n"));
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if (line->startsWith(QLatin1String("(error):"))) {
            m_announcer->announce(*line);
            return;
        }
    }
}

void frmMain::myCopyWavToClipboard(const QString& fileName)
{
    // Read only: a missing file is an error, never created; the clipboard keeps what it had. Our
    // own earlier copy, as large as this one may be, goes once this file is open, so that only
    // one copy is held at a time.
    QByteArray bytes;
    if (!reportAndContinue(
            [&] { bytes = clipboardWavImage(fileName, readWholeFile(fileName, dropOurSoundCopy)); },
            [this](const AppError& e) { reportLoadError(e, "myCopyWavToClipboard"); }))
        return;
    const QString failed = copySoundToClipboard(this, bytes, fileName);
    if (!failed.isEmpty())
        reportLoadError(AppError::make(AppError::PathFileAccessError, fileName, failed),
                        "myCopyWavToClipboard");
}

namespace {

// The local files a drag carries; empty when it carries anything else as well.
QStringList droppedFiles(const QMimeData* data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            return {};
        files << url.toLocalFile();
    }
    return files;
}

bool allTextFiles(const QStringList& files)
{
    return !files.isEmpty() && std::all_of(files.begin(), files.end(), isTextFile);
}

// The largest file whose text a drop puts in the text box; a run takes 32,767 characters at most.
constexpr qint64 kMaxDroppedBytes = 1 << 20;

} // namespace

bool frmMain::txtInputText_OLEDragOver(QDragMoveEvent* event)
{
    const QStringList files = droppedFiles(event->mimeData());
    if (files.isEmpty())
        return false; // text dragged from elsewhere: the text box's own business
    if (allTextFiles(files)) {
        event->acceptProposedAction();
        return true;
    }
    // Other files are not text to insert, nor their names: the window may have a use for them.
    event->ignore();
    return true;
}

bool frmMain::txtInputText_OLEDragDrop(QDropEvent* event)
{
    const QStringList files = droppedFiles(event->mimeData());
    if (files.isEmpty())
        return false;
    if (!allTextFiles(files)) {
        event->ignore();
        return true;
    }
    event->acceptProposedAction();
    QString text;
    for (const QString& file : files) {
        const bool read = reportAndContinue(
            [&] {
                if (QFileInfo(file).size() > kMaxDroppedBytes)
                    throw AppError::make(
                        AppError::Overflow,
                        QStringLiteral("%1 is larger than %2 bytes").arg(file).arg(kMaxDroppedBytes));
                text += textFromFile(readWholeFile(file));
            },
            [this](const AppError& e) { reportLoadError(e, "txtInputText_OLEDragDrop"); });
        if (!read)
            return true; // nothing is inserted from a drop that could not be read whole
    }
    QTextCursor at = m_txtInputText->cursorForPosition(event->position().toPoint());
    at.insertText(text);
    m_txtInputText->setTextCursor(at);
    m_txtInputText->setFocus(Qt::OtherFocusReason);
    return true;
}

void frmMain::cmdBrowse_Click()
{
    const QString remembered = m_txtOutputFileName->text();
    try {
        SaveDialogRequest request;
        request.title = myLoadResString(IDS_SAVE_DIALOG_TITLE);
        request.defaultExt = QStringLiteral(".WAV");
        request.fileName = remembered;
        for (const OutputFileType& type : outputFileTypes())
            request.filters << type.filter();
        request.selectedFilter = request.filters.value(outputFileTypeOf(remembered));
        m_txtOutputFileName->setText(saveDialog().ShowSave(request));
    } catch (...) {
        // Cancel, or anything else: the name stays as it was, without a word.
        m_txtOutputFileName->setText(remembered);
    }
}

void frmMain::mnuDecodeRecording_Click()
{
    QStringList files;
    try {
        OpenDialogRequest request;
        request.title = myLoadResString(IDS_DECODE_DIALOG_TITLE);
        // Where the last recording came from, else home: never the program directory with its prompts.
        request.directory = m_lastRecordingFolder.isEmpty() ? QDir::homePath() : m_lastRecordingFolder;
        request.filters = {myLoadResString(IDS_AUDIO_FILES) + QStringLiteral(" (") +
                               recordingFilePatterns().join(QLatin1Char(' ')) + QLatin1Char(')'),
                           myLoadResString(IDS_ALL_FILES) + QStringLiteral(" (*)")};
        files = openDialog().ShowOpen(request);
    } catch (...) {
        return; // Cancel: nothing to decode
    }
    decodeRecordings(files);
}

void frmMain::mnuPlayOutput_Click()
{
    if (m_player && m_player->isPlaying()) {
        stopPlaying();
        return;
    }
    if (!m_player) {
        m_player = new OutputPlayer(m_run.programDirectory(), this);
        connect(m_player, &OutputPlayer::stopped, this, [this] {
            m_mnuPlayOutput->setChecked(false);
            m_stopPlaying->setEnabled(false);
        });
    }
    const bool playing = m_player->play(outputPath());
    m_mnuPlayOutput->setChecked(playing);
    m_stopPlaying->setEnabled(playing);
}

void frmMain::stopPlaying()
{
    if (m_player)
        m_player->stop();
}

OutputFormat frmMain::outputFormat()
{
    return outputChoice().format;
}

OutputChoice frmMain::outputChoice()
{
    if (!m_outputChoice)
        m_outputChoice = storedOutputChoice();
    return *m_outputChoice;
}

void frmMain::mnuOutputFormat_Click()
{
    const auto chosen = m_askOutputFormat(outputChoice());
    if (!chosen)
        return;
    m_outputChoice = *chosen;
    // The choice holds for this session even when it cannot be remembered.
    reportAndContinue([&] { storeOutputChoice(*chosen); },
                      [this](const AppError& e) { reportLoadError(e, "mnuOutputFormat_Click"); });
}

void frmMain::mnuConvertMessageSet_Click()
{
    // Not waited for: the window stays free to show the outcome while the box is open.
    auto* box = new frmMessageSet(m_run.programDirectory(), this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &frmMessageSet::summarized, this, [this](const QString& line) {
        DiagOutput(line);
        syncDiagnostics();
        m_announcer->announce(line);
    });
    box->open();
}

SpokenParts frmMain::spokenParts()
{
    if (!m_spokenParts)
        m_spokenParts = storedSpokenParts();
    return *m_spokenParts;
}

void frmMain::mnuSpokenPart_Click()
{
    const auto chosen = m_askSpokenParts(spokenParts());
    if (!chosen)
        return;
    m_spokenParts = *chosen;
    // The choice holds for this session even when it cannot be remembered.
    reportAndContinue([&] { storeSpokenParts(*chosen); },
                      [this](const AppError& e) { reportLoadError(e, "mnuSpokenPart_Click"); });
}

void frmMain::decodeRecordings(const QStringList& files)
{
    if (files.isEmpty())
        return;
    m_lastRecordingFolder = QFileInfo(files.constLast()).absolutePath();
    const qsizetype before = mainDiagnostics().text().size();
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        reportDecodedRecordings(files, mainDiagnostics());
    }
    syncDiagnostics();
    // What the decode added: the text of each recording, or why there is none.
    m_announcer->announce(
        mainDiagnostics().text().mid(before).trimmed().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    m_txtDiag->moveCursor(QTextCursor::End);
}

namespace {

// The recordings among the local files a drag carries.
QStringList droppedRecordings(const QMimeData* data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && isRecordingFileName(url.toLocalFile()))
            files << url.toLocalFile();
    return files;
}

} // namespace

void frmMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedRecordings(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent* event)
{
    const QStringList files = droppedRecordings(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    decodeRecordings(files);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (droppedRecordings(drag->mimeData()).isEmpty()) {
            if (watched == m_txtInputText->viewport())
                return txtInputText_OLEDragOver(drag);
            if (watched == m_txtOutputFileName && drag->mimeData()->hasUrls()) {
                drag->ignore(); // a file that is no recording would land as its URL in the name
                return true;
            }
            break;
        }
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList files = droppedRecordings(drop->mimeData());
        if (files.isEmpty()) {
            if (watched == m_txtInputText->viewport())
                return txtInputText_OLEDragDrop(drop);
            if (watched == m_txtOutputFileName && drop->mimeData()->hasUrls()) {
                drop->ignore();
                return true;
            }
            break;
        }
        drop->acceptProposedAction();
        decodeRecordings(files);
        return true;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

int frmMain::menuHeight() const
{
    return menuBar()->isVisible() ? menuBar()->height() : menuBar()->sizeHint().height();
}

QPoint frmMain::framePosition() const
{
    // Until the window is first shown its position is the frame's, as set; Qt may know the frame's
    // size by then and would report a position a frame's width off.
    return m_shown ? frameGeometry().topLeft() : geometry().topLeft();
}

float frmMain::Left() const
{
    return twipsFromPixels(framePosition().x());
}

float frmMain::Top() const
{
    return twipsFromPixels(framePosition().y());
}

float frmMain::Width() const
{
    return outerWidth(*this, kDesignFrame);
}

float frmMain::Height() const
{
    return outerHeight(*this, kDesignFrame, menuHeight());
}

void frmMain::setLeft(float t)
{
    move(pixelsFromTwips(t), framePosition().y());
}

void frmMain::setTop(float t)
{
    move(framePosition().x(), pixelsFromTwips(t));
}

void frmMain::setWidth(float t)
{
    setOuterWidth(*this, t, kDesignFrame);
}

void frmMain::setHeight(float t)
{
    setOuterHeight(*this, t, kDesignFrame, menuHeight());
}

float frmMain::largestWidth() const
{
    const QScreen* desktop = screen();
    return desktop ? std::min(twipsFromPixels(desktop->virtualSize().width()), kLargestWindowTwips)
                   : kLargestWindowTwips;
}

float frmMain::largestHeight() const
{
    const QScreen* desktop = screen();
    return desktop ? std::min(twipsFromPixels(desktop->virtualSize().height()), kLargestWindowTwips)
                   : kLargestWindowTwips;
}

void frmMain::Form_Resize()
{
    reportAndContinue(
        [this] {
            if (isMinimized())
                return;
            // The menu bar's height may change with the language's font.
            setMinimumSize(
                minimumPixels(kMinimumWindowWidth, kMinimumWindowHeight, kDesignFrame, menuHeight()));
            const QScreen* primary = QGuiApplication::primaryScreen();
            const QSize screenSize = primary ? primary->size() : QSize(1920, 1080);
            // A size set here is itself a resize; lay out for the size the window really took,
            // which whole pixels may make a little larger than asked.
            for (int pass = 0; pass < 2; ++pass) {
                MainLayout current = m_layout;
                current.window = {Left(), Top(), Width(), Height()};
                const MainLayout next = layoutMainWindow(current, false, twipsFromPixels(screenSize.width()),
                                                         twipsFromPixels(screenSize.height()));
                if (next.window.left != current.window.left)
                    setLeft(next.window.left);
                if (next.window.top != current.window.top)
                    setTop(next.window.top);
                const bool resized =
                    next.window.width != current.window.width || next.window.height != current.window.height;
                if (next.window.width != current.window.width)
                    setWidth(next.window.width);
                if (next.window.height != current.window.height)
                    setHeight(next.window.height);
                applyLayout(next);
                if (!resized)
                    break;
            }
        },
        [this](const AppError& e) { reportLoadError(e, "Form_Resize"); });
}

void frmMain::applyLayout(const MainLayout& l)
{
    m_layout = l;
    place(m_frameFileName, l.frameFileName);
    place(m_txtOutputFileName, l.txtOutputFileName);
    place(m_cmdBrowse, l.cmdBrowse);
    place(m_frameTextInput, l.frameTextInput);
    place(m_txtInputText, l.txtInputText);
    place(m_frameDiagnosticOutput, l.frameDiagnosticOutput);
    place(m_txtDiag, l.txtDiag);
    place(m_cmdConstructWavFromString, l.cmdConstructWavFromString);
    place(m_cmdExit, l.cmdExit);
    // The frames narrow with the window.
    FitCaptionFonts(this);
}

void frmMain::setVisible(bool visible)
{
    // Left and Top are the outer frame's, title bar included. Until the window exists, a position
    // set on it counts the frame; one set while the window is being shown counts only its inside,
    // and a window brought back on screen then had its title bar above the screen. So the first
    // showing applies the rules before the window exists.
    if (visible && !testAttribute(Qt::WA_WState_Created))
        Form_Resize();
    QMainWindow::setVisible(visible);
}

void frmMain::showEvent(QShowEvent* event)
{
    m_shown = true;
    QMainWindow::showEvent(event);
    // Styles draw the focus only after a keyboard move, and showing a window forgets any. The
    // control that holds the focus at start must show it, or the keyboard user is lost.
    setAttribute(Qt::WA_KeyboardFocusChange);
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_inResize)
        return;
    m_inResize = true;
    Form_Resize();
    m_inResize = false;
}

void frmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Restoring a minimized window applies the rules to the restored size.
    if (event->type() == QEvent::WindowStateChange && !isMinimized() && isVisible())
        Form_Resize();
}

} // namespace quillfen
