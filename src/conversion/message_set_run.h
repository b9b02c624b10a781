#pragma once

#include "conversion/conversion_run.h"
#include "conversion/diagnostic_sink.h"
#include "conversion/message_set.h"
#include "conversion/phone_systems.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quillfen {

// One file of a set as it was written and checked.
struct WrittenFile
{
    QString message;
    QString path; // relative to the set's folder
    OutputFormat format;
    double seconds = 0.0;
    QString sha256;  // hex
    QString printed; // what a text telephone prints from it
};

struct MessageSetOutcome
{
    QList<WrittenFile> files;
    bool cancelled = false;
};

// A message set made the way one conversion is, once per message and file: every row is checked
// before anything is written, every file is joined into a hidden folder beside the others, read
// back in its own format and decoded, and only when all of them print what their text maps to do
// they go into place, with manifest.csv last. A fault, or a cancel, leaves the folder as it was.
class MessageSetRun
{
public:
    // `programDir` holds wavcat and the prompt set; empty means the running program's directory.
    explicit MessageSetRun(QString programDir = {});

    // Called before each file with the number done and the number in all, and once more with all
    // done before the files go into place; return false to cancel.
    void setProgress(std::function<bool(int done, int total)> progress) { m_progress = std::move(progress); }
    // Every message of the set spelt by this rule (see ConversionRun::setSpelling); none by default.
    void setSpelling(std::optional<SpellingRule> rule) { m_spelling = rule; }

    // Throws AppError: 5 for a fault of the set itself (its CSV, a system or a choice it refuses, a
    // message with nothing a text telephone prints), naming the file and line; others for a file
    // that could not be made or does not print its text, naming the message.
    MessageSetOutcome run(const QString& csvPath, const QString& system, const FormatChoice& choice,
                          const QString& outputDir);

private:
    // A set's runs report nothing line by line: only their outcome counts.
    class QuietSink final : public DiagnosticSink
    {
    public:
        void clearDiagnostics() override {}
        void DiagOutput(const QString&) override {}
    };

    QList<MessageRow> checkedRows(const QString& csvPath) const;
    WrittenFile makeFile(const MessageRow& row, const SystemFile& file, const SystemLayout& layout,
                         const QString& staging);

    QString m_programDir;
    std::function<bool(int, int)> m_progress;
    std::optional<SpellingRule> m_spelling;
    QuietSink m_quiet;
    ConversionRun m_conversion{m_quiet, m_programDir};
};

// What a text telephone prints from a message: the text as one conversion sends it, spelt by
// `spelling` when there is one.
QString printedText(const QString& text, std::optional<SpellingRule> spelling = std::nullopt);
// Whether a conversion of `text` sends anything but spaces (an idle character counts).
bool sendsMoreThanSpaces(const QString& text, std::optional<SpellingRule> spelling = std::nullopt);

} // namespace quillfen
