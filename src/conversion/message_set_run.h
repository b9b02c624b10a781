#pragma once

#include "conversion/conversion_run.h"
#include "conversion/diagnostic_sink.h"
#include "conversion/message_set.h"
#include "conversion/phone_systems.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

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

// A message set made the way one conversion is: every row is checked before anything is written,
// each message is joined once per rate into a hidden folder beside the others (a law or G.722 file
// is encoded from the 16-bit join at its rate), every file is read back in its own format and
// decoded, and only when all of them print what their text maps to do they go into place, with
// manifest.csv last. A fault, or a cancel, leaves the folder as it was.
class MessageSetRun
{
public:
    // Messages made at once: each holds a join and a decoder, and the machines this runs on have
    // two cores at least.
    static constexpr int kWorkers = 2;

    // `programDir` holds wavcat and the prompt set; empty means the running program's directory.
    explicit MessageSetRun(QString programDir = {});

    // Called on the thread that runs the set: as it starts and as each message is done, with the
    // number of files done and the number in all, and once more with all done before the files go
    // into place; return false to cancel (the messages being made are finished first).
    void setProgress(std::function<bool(int done, int total)> progress) { m_progress = std::move(progress); }
    // Every message of the set spelt by this rule (see ConversionRun::setSpelling); none by default.
    void setSpelling(std::optional<SpellingRule> rule) { m_spelling = rule; }

    // Throws AppError: 5 for a fault of the set itself (its CSV, a system or a choice it refuses, a
    // message with nothing a text telephone prints), naming the file and line; others for a file
    // that could not be made or does not print its text, naming the first such message.
    MessageSetOutcome run(const QString& csvPath, const QString& system, const FormatChoice& choice,
                          const QString& outputDir);

private:
    QList<MessageRow> checkedRows(const QString& csvPath) const;
    // Each message's files in `staging`, in the order of the rows; empty when cancelled.
    std::vector<QList<WrittenFile>> makeMessages(const QList<MessageRow>& rows, const SystemLayout& layout,
                                                 const QString& staging, bool& cancelled);

    QString m_programDir;
    std::function<bool(int, int)> m_progress;
    std::optional<SpellingRule> m_spelling;
};

// What a text telephone prints from a message: the text as one conversion sends it, spelt by
// `spelling` when there is one.
QString printedText(const QString& text, std::optional<SpellingRule> spelling = std::nullopt);
// Whether a conversion of `text` sends anything but spaces (an idle character counts).
bool sendsMoreThanSpaces(const QString& text, std::optional<SpellingRule> spelling = std::nullopt);

} // namespace quillfen
