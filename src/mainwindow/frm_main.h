#pragma once

#include "conversion/conversion_run.h"
#include "layout/main_layout.h"
#include "mainwindow/frm_output_format.h"
#include "settings/settings_store.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <optional>

class QAction;
class QDragMoveEvent;
class QDropEvent;
class QGroupBox;
class QLineEdit;
class QMenu;
class QMimeData;
class QPlainTextEdit;
class QProgressDialog;
class QPushButton;
class QShortcut;

namespace quillfen {

class Announcer;
class OutputPlayer;

// The start-up window: output file name, the text, the diagnostic box, the two commands and the
// menus. Geometry is kept in twips (15 to the pixel) like the rest of the program.
class frmMain final : public QMainWindow, public SettingsWindow
{
    Q_OBJECT
public:
    // `programDir` holds wavcat and the prompt set; empty means the running program's directory.
    explicit frmMain(const QString& programDir = {}, QWidget* parent = nullptr);
    ~frmMain() override;

    void frmMain_Auto_Init();
    // The start-up sequence. False when the program must end at once (another copy runs, or a
    // remote session was refused); the window is then not to be shown.
    bool Form_Load();
    void Form_Resize();

    void DiagOutput(const QString& text);
    void myCopyWavToClipboard(const QString& fileName);
    void cmdConstructWavFromString_Click();
    void cmdBrowse_Click();
    // File, Decode TTY Recording: the chosen recordings' text in the diagnostic box.
    void mnuDecodeRecording_Click();
    // Also what dropping recordings on the window does.
    void decodeRecordings(const QStringList& files);
    // File, Play Output File: plays the output file, or stops it playing (as Escape does).
    void mnuPlayOutput_Click();
    // File, Output Format: the format of the files made from now on, remembered in the settings.
    void mnuOutputFormat_Click();
    // File, Convert Message Set: the box that makes a set of messages for a phone system; its outcome
    // goes to the diagnostic box after the lines there and is announced.
    void mnuConvertMessageSet_Click();
    // The format the next conversion uses (a headerless output name still fixes its own).
    OutputFormat outputFormat();
    // File, Spoken Part: recordings said before and after the tones, remembered in the settings.
    void mnuSpokenPart_Click();
    // The recordings the next conversion puts around the tones.
    SpokenParts spokenParts();
    // That format, and whether the next conversion spells in plain letters what a text telephone
    // cannot print (by the rule of the window's language).
    OutputChoice outputChoice();
    // The one way out: saves the settings once and ends the program.
    void ExitApplication();
    // A later copy was started and has ended: this window comes forward, raised and restored.
    void bringToFront();

    // How the program ends; tests replace it to stay alive.
    void setTerminate(std::function<void()> terminate) { m_terminate = std::move(terminate); }
    // How File, Output Format asks (the modal box; tests answer it): the choice, or nullopt.
    void setOutputChoiceDialog(std::function<std::optional<OutputChoice>(const OutputChoice&)> ask)
    {
        m_askOutputFormat = std::move(ask);
    }
    // How File, Spoken Part asks (the modal box; tests answer it): the choice, or nullopt.
    void setSpokenPartDialog(std::function<std::optional<SpokenParts>(const SpokenParts&)> ask)
    {
        m_askSpokenParts = std::move(ask);
    }
    // The same for an answer that gives the format alone: the transliteration stays as it was.
    void setOutputFormatDialog(std::function<std::optional<OutputFormat>(const OutputFormat&)> ask)
    {
        m_askOutputFormat = [ask =
                                 std::move(ask)](const OutputChoice& current) -> std::optional<OutputChoice> {
            const auto format = ask(current.format);
            if (!format)
                return std::nullopt;
            return OutputChoice{*format, current.transliterate};
        };
    }

    // Outer geometry in twips: frame, caption and menu bar included.
    float Left() const override;
    float Top() const override;
    float Width() const override;
    float Height() const override;
    void setLeft(float twips) override;
    void setTop(float twips) override;
    void setWidth(float twips) override;
    void setHeight(float twips) override;
    // The virtual desktop's size.
    float largestWidth() const override;
    float largestHeight() const override;

    void setVisible(bool visible) override;

signals:
    // Help, About / Help, Help / Help, Check for updated version: the windows behind them live
    // above this one.
    void aboutRequested();
    void helpRequested();
    void updateCheckRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void announceOutcome(RunOutcome outcome);
    // The output file name as the run takes it: a bare name beside the default output.
    QString outputPath() const;
    bool showConversionProgress(std::int64_t written, std::int64_t expected);
    void stopPlaying();
    void buildControls();
    void createControls();
    void setFocusOrder();
    void createMenus();
    void connectCommands();
    void acceptRecordingDrops();
    // A drop of text files on the text box inserts their text where they are dropped.
    bool txtInputText_OLEDragOver(QDragMoveEvent* event);
    bool txtInputText_OLEDragDrop(QDropEvent* event);
    void applyLayout(const MainLayout& layout);
    void reportLoadError(const struct AppError& error, const char* procedure);
    void syncDiagnostics();
    int menuHeight() const;
    QPoint framePosition() const;

    QGroupBox* m_frameFileName = nullptr;
    QLineEdit* m_txtOutputFileName = nullptr;
    QPushButton* m_cmdBrowse = nullptr;
    QGroupBox* m_frameTextInput = nullptr;
    QPlainTextEdit* m_txtInputText = nullptr;
    QGroupBox* m_frameDiagnosticOutput = nullptr;
    QPlainTextEdit* m_txtDiag = nullptr;
    QPushButton* m_cmdConstructWavFromString = nullptr;
    QPushButton* m_cmdExit = nullptr;
    QMenu* m_mnuFile = nullptr;
    QAction* m_mnuDecodeRecording = nullptr;
    QAction* m_mnuOutputFormat = nullptr;
    QAction* m_mnuConvertMessageSet = nullptr;
    QAction* m_mnuSpokenPart = nullptr;
    QAction* m_mnuPlayOutput = nullptr;
    QAction* m_mnuExit = nullptr;
    QMenu* m_mainHelp = nullptr;
    QAction* m_mnuHelp = nullptr;
    QAction* m_seperator = nullptr;
    QAction* m_mnuAbout = nullptr;
    QAction* m_mnuCheckForUpdatedVersion = nullptr;

    ConversionRun m_run;
    MainLayout m_layout;
    std::function<void()> m_terminate;
    std::function<std::optional<OutputChoice>(const OutputChoice&)> m_askOutputFormat;
    std::function<std::optional<SpokenParts>(const SpokenParts&)> m_askSpokenParts;
    QString m_lastRecordingFolder;              // where the open dialog starts
    Announcer* m_announcer = nullptr;           // says each outcome to assistive technology
    std::optional<OutputChoice> m_outputChoice; // read from the settings when first needed
    std::optional<SpokenParts> m_spokenParts;   // so are these
    OutputPlayer* m_player = nullptr;           // made on the first play
    QShortcut* m_stopPlaying = nullptr;         // Escape, while something plays
    QProgressDialog* m_progress = nullptr;      // while a long run goes on
    QElapsedTimer m_runClock;                   // since the run started
    bool m_exiting = false;
    bool m_inResize = false;
    bool m_shown = false;
    bool m_diagSyncPending = false;
    bool m_answersLaterCopies = false;
    static const frmMain* s_diagnosticsOwner;
};

} // namespace quillfen
