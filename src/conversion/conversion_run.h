#pragma once

#include "conversion/baudot_mapping.h"
#include "conversion/diagnostic_sink.h"
#include "conversion/output_format.h"
#include "platform/app_error.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

namespace quillfen {

enum class RunOutcome {
    EmptyText, // nothing to convert: the user was told, nothing else happened
    Completed, // wavcat wrote the output file
    Failed,    // reported in the diagnostics (cancelled() tells a cancelled run); an earlier file at
               // the output path is untouched
};

// One conversion, as the "Create WAV File" button and the command line both run it: text to
// prompts, the wavcat command, wavcat started and waited for, the outcome in the diagnostics.
class ConversionRun
{
public:
    static constexpr qsizetype kMaxCharacters = 32767;

    // `programDir` holds wavcat and the prompt set; empty means the running program's directory.
    explicit ConversionRun(DiagnosticSink& diagnostics, QString programDir = {});

    // The last step of a completed run, given the output path (the window copies the WAV to the
    // clipboard here).
    void setCompletedHook(std::function<void(const QString&)> hook) { m_completedHook = std::move(hook); }

    // The format of the runs from now on (the standard one until set). A headerless output name
    // still fixes its own encoding and rate: see formatForOutput.
    void setOutputFormat(const OutputFormat& format) { m_format = format; }
    const OutputFormat& outputFormat() const { return m_format; }

    // Asked about every kProgressStepMs while wavcat runs, with the bytes it has written so far and
    // the bytes the output is expected to have; answering false stops wavcat. The run still ends
    // only when wavcat has ended. Without a hook the run simply waits.
    using ProgressHook = std::function<bool(std::int64_t written, std::int64_t expected)>;
    static constexpr std::int32_t kProgressStepMs = 50;
    void setProgressHook(ProgressHook hook) { m_progressHook = std::move(hook); }

    RunOutcome cmdConstructWavFromString_Click(const QString& inputText, const QString& outputFileName);

    // The command line as it is logged: "wavcat ", every argument and a space, the output quoted.
    const QString& WavcatCommand() const { return m_wavcatCommand; }
    const QString& programDirectory() const { return m_programDir; }
    // Why the last run failed, in one line; empty after a completed run.
    const QString& failure() const { return m_failure; }
    // Whether the last run was stopped through the progress hook before wavcat had finished.
    bool cancelled() const { return m_cancelled; }

private:
    void AddToWavcatCommand(const QString& name) { AddToWavcatCommand(name, name); }
    void AddToWavcatCommand(const QString& logged, const QString& argument);
    void writeError(const AppError& error);
    // The steps of a run, in order.
    void startRun();
    std::optional<QString> preparedText(const QString& inputText);
    QString buildWavcatCommand(const QString& prepared, const QString& outputFileName);
    void checkOutput(const QString& outputFileName);
    bool makeOutputWritable(const QString& outputFileName);
    void runWavcat(const QString& outputFileName);
    bool waitForWavcat(std::int64_t pid, const QString& promptDir, const QString& outputFileName);
    void reportRun(const QString& newText);

    DiagnosticSink& m_diag;
    QString m_programDir;
    OutputFormat m_format;
    std::function<void(const QString&)> m_completedHook;
    ProgressHook m_progressHook;

    QString m_wavcatCommand;
    QStringList m_wavcatArguments; // what wavcat is given: the output unquoted
    std::int16_t m_firstFile = -1;
    ShiftStateValue m_shiftState = ShiftNone;
    QString m_failure;
    std::optional<AppError> m_wavcatFailure; // the output was refused, or wavcat ran but made no file
    bool m_succeeded = false;
    bool m_cancelled = false;
};

// The size the joined output of `prompts` (file names in `promptDir`, repeats counted each time) is
// expected to have: their sample data, plus a WAV header unless the output is headerless. An estimate
// for showing progress; a prompt that is missing or no regular file counts nothing.
std::int64_t expectedOutputBytes(const QStringList& prompts, const QString& promptDir,
                                 const QString& outputFileName);

} // namespace quillfen
