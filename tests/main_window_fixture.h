#pragma once

// The main window offscreen, with settings and a prompt cache of its own and message boxes that
// record, found by the names of its controls.
#include "localization/mod_localize.h"
#include "mainwindow/frm_main.h"
#include "platform/open_dialog.h"
#include "platform/save_dialog.h"
#include "platform/session.h"
#include "program_runs.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>

#include <memory>

namespace quillfen::testing {

// The open dialog, answered with `answer` or, when that is empty, cancelled; what it was asked.
struct AnsweringOpenDialog final : OpenDialog
{
    AnsweringOpenDialog() { setOpenDialog(this); }
    ~AnsweringOpenDialog() override { setOpenDialog(nullptr); }
    QStringList ShowOpen(const OpenDialogRequest& r) override
    {
        asked << r.title + " @ " + r.directory;
        directories << r.directory;
        filters = r.filters;
        return answer.isEmpty() ? throw cancelError() : answer;
    }
    QStringList answer, asked, directories, filters;
};

class MainWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
        resetLanguageState();
        setProgramLocation(kProgramDir, "Quillfen");
        newWindow();
    }
    void TearDown() override
    {
        window.reset();
        releaseInstanceLock();
        qunsetenv("XDG_CACHE_HOME");
    }
    // A fresh start: the window before it is loaded, as the program makes it.
    void newWindow(const QString& programDir = kProgramDir)
    {
        window.reset();
        releaseInstanceLock();
        terminations = 0;
        window = std::make_unique<frmMain>(programDir);
        window->setTerminate([this] { ++terminations; });
    }
    template <typename T> T* child(const char* name) { return window->findChild<T*>(name); }
    QString diag() { return child<QPlainTextEdit>("txtDiag")->toPlainText(); }
    // Converts `text` into `wav` as a user does; the diagnostic box then.
    QString convert(const QString& text, const QString& wav)
    {
        child<QLineEdit>("txtOutputFileName")->setText(wav);
        child<QPlainTextEdit>("txtInputText")->setPlainText(text);
        child<QPushButton>("cmdConstructWavFromString")->click();
        return diag();
    }
    QString settingsFile() const { return config.filePath("Veltrane/Quillfen.ini"); }

    QTemporaryDir config, cache, out;
    RecordingMessages boxes;
    std::unique_ptr<frmMain> window;
    int terminations = 0;
};

} // namespace quillfen::testing
