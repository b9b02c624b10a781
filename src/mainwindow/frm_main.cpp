#include "mainwindow/frm_main.h"

#include "conversion/clipboard_wav.h"
#include "conversion/diagnostic_output.h"
#include "conversion/recording_report.h"
#include "localization/mod_localize.h"
#include "localization/open_forms.h"
#include "localization/string_table.h"
#include "localization/widgets/fonts.h"
#include "mainwindow/frm_output_format.h"
#include "platform/app_error.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/open_dialog.h"
#include "platform/process.h"
#include "platform/save_dialog.h"
#include "platform/session.h"
#include "platform/twips.h"
#include "platform/widgets/outer_size.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QUrl>

#include <cmath>

namespace quillfen {

const frmMain* frmMain::s_diagnosticsOwner = nullptr;

namespace {

// The frame and menu bar around the 9810 x 4305 client area of the design; with them the bottom
// row fits the client area as designed.
constexpr DesignFrame kDesignFrame{kDesignedWindowWidth - 9810, kDesignedWindowHeight - 4305};

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
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/quillfen_16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/quillfen_32.png"), QSize(32, 32));
    setWindowIcon(icon);
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
    registerOpenForm({objectName(), this, [this] { frmMain_Auto_Init(); }, [this] { SetFormFonts(this); },
                      [this] { RefreshControls(this); }});
}

frmMain::~frmMain()
{
    // Another main window may have taken the diagnostics over (tests make several).
    if (s_diagnosticsOwner == this) {
        mainDiagnostics().setChangedCallback({});
        s_diagnosticsOwner = nullptr;
    }
}

void frmMain::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
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

    for (QWidget* frame : {static_cast<QWidget*>(m_frameDiagnosticOutput),
                           static_cast<QWidget*>(m_frameTextInput), static_cast<QWidget*>(m_frameFileName)})
        frame->setFocusPolicy(Qt::NoFocus);
    setTabOrder(m_cmdBrowse, m_txtInputText);
    setTabOrder(m_txtInputText, m_cmdConstructWavFromString);
    setTabOrder(m_cmdConstructWavFromString, m_cmdExit);
    setTabOrder(m_cmdExit, m_txtOutputFileName);
    setTabOrder(m_txtOutputFileName, m_txtDiag);
    m_cmdBrowse->setFocus();

    m_mnuFile = menuBar()->addMenu(QStringLiteral("File"));
    m_mnuFile->setObjectName(QStringLiteral("mnuFile"));
    m_mnuDecodeRecording = m_mnuFile->addAction(QStringLiteral("Decode TTY Recording..."));
    m_mnuDecodeRecording->setObjectName(QStringLiteral("mnuDecodeRecording"));
    m_mnuOutputFormat = m_mnuFile->addAction(QStringLiteral("Output Format..."));
    m_mnuOutputFormat->setObjectName(QStringLiteral("mnuOutputFormat"));
    m_mnuFile->addSeparator();
    m_mnuExit = m_mnuFile->addAction(QStringLiteral("Exit"));
    m_mnuExit->setObjectName(QStringLiteral("mnuExit"));
    m_mainHelp = menuBar()->addMenu(QStringLiteral("Help"));
    m_mainHelp->setObjectName(QStringLiteral("mainHelp"));
    m_mnuHelp = m_mainHelp->addAction(QStringLiteral("Help"));
    m_mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    m_seperator = m_mainHelp->addSeparator();
    m_seperator->setObjectName(QStringLiteral("seperator"));
    m_seperator->setText(QStringLiteral("-"));
    m_mnuAbout = m_mainHelp->addAction(QStringLiteral("About"));
    m_mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    m_mnuCheckForUpdatedVersion = m_mainHelp->addAction(QStringLiteral("Check for updated version"));
    m_mnuCheckForUpdatedVersion->setObjectName(QStringLiteral("mnuCheckForUpdatedVersion"));

    connect(m_cmdExit, &QPushButton::clicked, this, [this] { ExitApplication(); });
    connect(m_mnuExit, &QAction::triggered, this, [this] { ExitApplication(); });
    connect(m_mnuDecodeRecording, &QAction::triggered, this, [this] { mnuDecodeRecording_Click(); });
    connect(m_mnuOutputFormat, &QAction::triggered, this, [this] { mnuOutputFormat_Click(); });
    m_askOutputFormat = [this](const OutputFormat& current) { return askOutputFormat(current, this); };

    // Recordings dropped anywhere on the window are decoded, over the text boxes too, which would
    // otherwise take the file's name as text.
    setAcceptDrops(true);
    for (QObject* box :
         {static_cast<QObject*>(m_txtOutputFileName), static_cast<QObject*>(m_txtInputText->viewport()),
          static_cast<QObject*>(m_txtDiag->viewport())})
        box->installEventFilter(this);
    connect(m_cmdBrowse, &QPushButton::clicked, this, [this] { cmdBrowse_Click(); });
    connect(m_cmdConstructWavFromString, &QPushButton::clicked, this,
            [this] { cmdConstructWavFromString_Click(); });
    connect(m_mnuAbout, &QAction::triggered, this, &frmMain::aboutRequested);
    connect(m_mnuHelp, &QAction::triggered, this, &frmMain::helpRequested);
    connect(m_mnuCheckForUpdatedVersion, &QAction::triggered, this, &frmMain::updateCheckRequested);

    applyLayout(m_layout);
    resize(pixelsFromTwips(9810), pixelsFromTwips(4305) + menuBar()->sizeHint().height());
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
    m_mnuExit->setText(myLoadResString(IDS_EXIT_MENU));
    m_mainHelp->setTitle(myLoadResString(IDS_HELP));
    m_mnuHelp->setText(myLoadResString(IDS_HELP));
    m_mnuAbout->setText(myLoadResString(IDS_ABOUT));
    m_mnuCheckForUpdatedVersion->setText(myLoadResString(IDS_CHECK_FOR_UPDATE));
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
}

void frmMain::cmdConstructWavFromString_Click()
{
    // The text box holds its line breaks as CR LF, as the run expects of a text box.
    QString text = m_txtInputText->toPlainText();
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    const QString output = m_txtOutputFileName->text();
    RunOutcome outcome = RunOutcome::EmptyText;
    {
        // Busy only while there is something to wait for, and never over a message box.
        const bool busy = !text.isEmpty();
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([busy] {
            if (busy)
                QApplication::restoreOverrideCursor();
        });
        m_run.setOutputFormat(outputFormat());
        outcome = m_run.cmdConstructWavFromString_Click(text, output);
    }
    syncDiagnostics();
    repaint();
    if (outcome == RunOutcome::Completed)
        myCopyWavToClipboard(output);
}

void frmMain::myCopyWavToClipboard(const QString& fileName)
{
    // Read only: a missing file is an error, never created; the clipboard keeps what it had.
    QByteArray bytes;
    if (!reportAndContinue([&] { bytes = clipboardWavImage(fileName, readWholeFile(fileName)); },
                           [this](const AppError& e) { reportLoadError(e, "myCopyWavToClipboard"); }))
        return;
    auto* data = new QMimeData;
    data->setData(QStringLiteral("audio/wav"), bytes);
    data->setData(QStringLiteral("audio/x-wav"), bytes);
    QApplication::clipboard()->setMimeData(data);
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
        request.filters = {myLoadResString(IDS_AUDIO_FILES) + QStringLiteral(" (") +
                               recordingFilePatterns().join(QLatin1Char(' ')) + QLatin1Char(')'),
                           myLoadResString(IDS_ALL_FILES) + QStringLiteral(" (*)")};
        files = openDialog().ShowOpen(request);
    } catch (...) {
        return; // Cancel: nothing to decode
    }
    decodeRecordings(files);
}

OutputFormat frmMain::outputFormat()
{
    if (!m_outputFormat)
        m_outputFormat = storedOutputFormat();
    return *m_outputFormat;
}

void frmMain::mnuOutputFormat_Click()
{
    const auto chosen = m_askOutputFormat(outputFormat());
    if (!chosen)
        return;
    m_outputFormat = *chosen;
    // The choice holds for this session even when it cannot be remembered.
    reportAndContinue([&] { storeOutputFormat(*chosen); },
                      [this](const AppError& e) { reportLoadError(e, "mnuOutputFormat_Click"); });
}

void frmMain::decodeRecordings(const QStringList& files)
{
    if (files.isEmpty())
        return;
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        reportDecodedRecordings(files, mainDiagnostics());
    }
    syncDiagnostics();
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
        if (droppedRecordings(drag->mimeData()).isEmpty())
            break;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList files = droppedRecordings(drop->mimeData());
        if (files.isEmpty())
            break;
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

float frmMain::Left() const
{
    return twipsFromPixels(frameGeometry().x());
}

float frmMain::Top() const
{
    return twipsFromPixels(frameGeometry().y());
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
    move(pixelsFromTwips(t), frameGeometry().y());
}

void frmMain::setTop(float t)
{
    move(frameGeometry().x(), pixelsFromTwips(t));
}

void frmMain::setWidth(float t)
{
    setOuterWidth(*this, t, kDesignFrame);
}

void frmMain::setHeight(float t)
{
    setOuterHeight(*this, t, kDesignFrame, menuHeight());
}

void frmMain::Form_Resize()
{
    reportAndContinue(
        [this] {
            if (isMinimized())
                return;
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
