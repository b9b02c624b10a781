#include "conversion/conversion_run.h"

#include "conversion/baudot_mapping.h"
#include "conversion/characters.h"
#include "conversion/log.h"
#include "conversion/prompt_sets.h"
#include "localization/string_table.h"
#include "platform/app_error.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>

Q_LOGGING_CATEGORY(lcConversion, "quillfen.conversion", QtWarningMsg)

namespace quillfen {
namespace {

const QString kClosing = QStringLiteral(") in procedure cmdConstructWavFromString_Click of Form frmMain");

// Where a WAV file's samples start: after its "data" chunk's header. The canonical 44 bytes when
// the chunks cannot be walked.
std::int64_t wavHeaderBytes(QFile& file)
{
    constexpr std::int64_t kCanonical = 44;
    const QByteArray head = file.read(4096);
    if (!head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return kCanonical;
    qsizetype at = 12;
    while (at + 8 <= head.size()) {
        const auto size = qFromLittleEndian<quint32>(head.constData() + at + 4);
        if (head.mid(at, 4) == "data")
            return at + 8;
        at += 8 + qsizetype(size) + qsizetype(size & 1U);
    }
    return kCanonical;
}

} // namespace

ConversionRun::ConversionRun(DiagnosticSink& diagnostics, QString programDir)
    : m_diag(diagnostics),
      m_programDir(programDir.isEmpty() ? quillfen::programDirectory() : std::move(programDir))
{
}

void ConversionRun::AddToWavcatCommand(const QString& logged, const QString& argument)
{
    if (m_firstFile) {
        m_firstFile = 0;
        m_wavcatCommand = QStringLiteral("wavcat ") + logged + QLatin1Char(' ');
    } else {
        m_wavcatCommand += logged + QLatin1Char(' ');
    }
    m_wavcatArguments.append(argument);
}

void ConversionRun::writeError(const AppError& error)
{
    m_diag.DiagOutput(formatErrorReport(QStringLiteral("(error):"), error, kClosing));
    if (m_failure.isEmpty())
        m_failure = error.description;
}

RunOutcome ConversionRun::cmdConstructWavFromString_Click(const QString& inputText,
                                                          const QString& outputFileName)
{
    if (inputText.isEmpty()) {
        messages().show(myLoadResString(IDS_ENTER_TEXT_FIRST), MessageButtons::Ok, {});
        return RunOutcome::EmptyText;
    }
    startRun();
    const std::optional<QString> prepared = preparedText(inputText);
    if (!prepared)
        return RunOutcome::Failed;
    // The spoken parts live as long as the run: wavcat reads them like prompts.
    std::optional<QTemporaryDir> spokenDir;
    if (!m_spokenParts.isEmpty())
        prepareSpokenParts(outputFileName, spokenDir.emplace().path());
    const QString newText = buildWavcatCommand(*prepared, outputFileName);

    checkOutput(outputFileName);
    bool madeWritable = false;
    if (!m_wavcatFailure) {
        madeWritable = makeOutputWritable(outputFileName);
        reportAndContinue([&] { runWavcat(outputFileName); }, [this](const AppError& e) { writeError(e); });
    }
    reportRun(newText);
    reportSpokenParts();
    if (!m_succeeded) {
        // The earlier file was not replaced: it stays as it was, read-only included.
        if (madeWritable)
            reportAndContinue([&] { setReadOnly(outputFileName); }, [](const AppError&) {});
        return RunOutcome::Failed;
    }
    if (m_completedHook)
        m_completedHook(outputFileName); // the window copies the WAV to the clipboard
    return RunOutcome::Completed;
}

void ConversionRun::startRun()
{
    m_diag.clearDiagnostics();
    m_shiftState = ShiftNone;
    m_firstFile = -1;
    m_wavcatCommand.clear();
    m_wavcatArguments.clear();
    m_spokenBefore.clear();
    m_spokenAfter.clear();
    m_wavcatFailure.reset();
    m_failure.clear();
    m_succeeded = false;
    m_cancelled = false;
    // Prompts are named bare, so wavcat must find them in the current directory.
    reportAndContinue([this] { setCurrentDirectory(m_programDir); },
                      [this](const AppError& e) { writeError(e); });
}

// The text as the prompts spell it, echoed to the diagnostics; nullopt (and the reason reported)
// when it is too long to convert.
std::optional<QString> ConversionRun::preparedText(const QString& inputText)
{
    const QString upper = upperCasedText(inputText);
    m_diag.DiagOutput(myLoadResString(IDS_ORIGINAL_STRING) + upper);
    QString prepared = upper;
    if (m_spelling) {
        const Transliterated spelt = transliterate(inputText, *m_spelling);
        for (const Respelling& r : spelt.respelled)
            m_diag.DiagOutput(
                r.to.isEmpty()
                    ? myLoadResString(IDS_RESPELT_AS_NOTHING).arg(upperCasedText(r.from))
                    : myLoadResString(IDS_RESPELT_AS).arg(upperCasedText(r.from), upperCasedText(r.to)));
        prepared = upperCasedText(spelt.text);
    }
    prepared.replace(QStringLiteral("\r\n"), QStringLiteral(" "));

    const qsizetype length = characterCount(prepared);
    if (length > kMaxCharacters) {
        writeError(AppError(AppError::Overflow,
                            QStringLiteral("the text has %1 characters; at most %2 can be converted at once")
                                .arg(length)
                                .arg(kMaxCharacters)));
        m_diag.DiagOutput(QString());
        return std::nullopt;
    }
    return prepared;
}

// Each recording once, in the prompts' form for this output, into `folder`. A recording that cannot
// be read keeps wavcat from starting, so nothing is written; the report names it.
void ConversionRun::prepareSpokenParts(const QString& outputFileName, const QString& folder)
{
    const OutputFormat format = formatForOutput(m_format, outputFileName);
    reportAndContinue(
        [&] {
            if (folder.isEmpty())
                throw AppError::make(AppError::PathFileAccessError, QDir::tempPath(),
                                     QStringLiteral("no folder for the spoken parts"));
            const QString before = QDir(folder).filePath(QStringLiteral("before.wav"));
            const QString after = QDir(folder).filePath(QStringLiteral("after.wav"));
            // One recording in both places is read and resampled once.
            std::vector<float> voice;
            if (!m_spokenParts.before.isEmpty()) {
                voice = readSpokenPart(m_spokenParts.before, format);
                writeSpokenPart(voice, SpokenPlace::BeforeTones, format, before);
            }
            if (!m_spokenParts.after.isEmpty()) {
                if (m_spokenParts.after != m_spokenParts.before)
                    voice = readSpokenPart(m_spokenParts.after, format);
                writeSpokenPart(std::move(voice), SpokenPlace::AfterTones, format, after);
            }
            m_spokenBefore = m_spokenParts.before.isEmpty() ? QString() : before;
            m_spokenAfter = m_spokenParts.after.isEmpty() ? QString() : after;
        },
        [this](const AppError& e) { m_wavcatFailure = e; });
}

// The prompts between the opening silence and the output, with the spoken parts around them;
// returns the text that got prompts.
QString ConversionRun::buildWavcatCommand(const QString& prepared, const QString& outputFileName)
{
    if (!m_spokenBefore.isEmpty())
        AddToWavcatCommand(m_spokenBefore);
    AddToWavcatCommand(QStringLiteral("smallsilence.wav"));
    const MappingResult mapped = mapTextToPrompts(
        prepared, m_shiftState, [this](const QString& name) { AddToWavcatCommand(name); },
        [this](const QString& line) { m_diag.DiagOutput(line); });
    m_shiftState = mapped.shiftState;
    if (!m_spokenAfter.isEmpty())
        AddToWavcatCommand(m_spokenAfter);
    AddToWavcatCommand(QLatin1Char('"') + outputFileName + QLatin1Char('"'), outputFileName);
    return mapped.newText;
}

// Before anything touches the output: wavcat would refuse it too, but the read-only step after it
// must not change a device's or a prompt's permissions first.
void ConversionRun::checkOutput(const QString& outputFileName)
{
    if (outputFileName.isEmpty())
        return;
    const QStringList prompts = m_wavcatArguments.mid(0, m_wavcatArguments.size() - 1);
    reportAndContinue(
        [&] {
            checkReplaceableOutput(outputFileName, QSet<QString>(prompts.begin(), prompts.end()).values(),
                                   m_programDir);
        },
        [this](const AppError& e) { m_wavcatFailure = e; });
}

// True when a read-only earlier output was made writable for wavcat.
bool ConversionRun::makeOutputWritable(const QString& outputFileName)
{
    bool madeWritable = false;
    reportAndContinue(
        [&] {
            if (FileExists(outputFileName) && isReadOnly(outputFileName)) {
                clearReadOnly(outputFileName);
                madeWritable = true;
            }
        },
        [this](const AppError& e) { writeError(e); });
    return madeWritable;
}

void ConversionRun::reportRun(const QString& newText)
{
    m_diag.DiagOutput(myLoadResString(IDS_NEW_TEXT) + newText);
    if (m_succeeded)
        m_diag.DiagOutput(myLoadResString(IDS_CONVERSION_COMPLETE));
    else if (m_cancelled)
        m_diag.DiagOutput(myLoadResString(IDS_CONVERSION_CANCELLED));
    else if (m_wavcatFailure)
        writeError(*m_wavcatFailure);
    m_diag.DiagOutput(QString());
}

// One line after the run's own, on a completed file that has a spoken part, naming the recordings.
void ConversionRun::reportSpokenParts()
{
    if (!m_succeeded || m_spokenParts.isEmpty())
        return;
    const QString before = QFileInfo(m_spokenParts.before).fileName();
    const QString after = QFileInfo(m_spokenParts.after).fileName();
    if (after.isEmpty())
        m_diag.DiagOutput(myLoadResString(IDS_SPOKEN_BEFORE_LINE).arg(before));
    else if (before.isEmpty())
        m_diag.DiagOutput(myLoadResString(IDS_SPOKEN_AFTER_LINE).arg(after));
    else
        m_diag.DiagOutput(myLoadResString(IDS_SPOKEN_BOTH_LINE).arg(before, after));
}

void ConversionRun::runWavcat(const QString& outputFileName)
{
    const QString wavcat = findProgram(QStringLiteral("wavcat"), m_programDir);
    if (wavcat.isEmpty())
        throw AppError::make(AppError::FileNotFound,
                             QStringLiteral("wavcat is neither in %1 nor on the PATH").arg(m_programDir));

    // The prompts are named bare: wavcat runs in the directory of the set it joins.
    const QString promptDir = promptSetDirectory(formatForOutput(m_format, outputFileName), m_programDir);

    const ChildLog errors;

    qCDebug(lcConversion) << "starting" << wavcat << "with" << m_wavcatArguments.size() << "arguments in"
                          << promptDir;
    QStringList arguments = m_wavcatArguments;
    // A relative output is meant from this run's directory, not from the set's.
    if (promptDir != m_programDir && !outputFileName.isEmpty())
        arguments.last() = QFileInfo(outputFileName).absoluteFilePath();
    const std::int64_t pid = startProcessHidden(wavcat, arguments, promptDir, &errors);
    const bool stopped = waitForWavcat(pid, promptDir, outputFileName);
    const auto exit = reapChild(pid);

    if (exit && exit->exited && exit->code == 0 && FileExists(outputFileName)) {
        m_succeeded = true; // it finished before the request to stop reached it
        return;
    }
    if (stopped) {
        qCInfo(lcConversion) << "wavcat was stopped on request";
        m_cancelled = true;
        m_failure = myLoadResString(IDS_CONVERSION_CANCELLED);
        return;
    }
    QString why = errors.text();
    if (why.isEmpty()) {
        if (!exit)
            why = QStringLiteral("wavcat's end could not be observed");
        else if (!exit->exited)
            why = QStringLiteral("wavcat was ended by signal %1").arg(exit->code);
        else if (exit->code != 0)
            why = QStringLiteral("wavcat ended with status %1").arg(exit->code);
        else
            why = QStringLiteral("wavcat did not create %1").arg(outputFileName);
    }
    qCInfo(lcConversion) << "wavcat failed:" << why;
    m_wavcatFailure = AppError(AppError::PathFileAccessError, why);
}

// True when wavcat was asked to stop. Returns only once wavcat has ended either way: wavcat writes a
// temporary and renames it into place, so only its own end says whether the earlier output stands.
bool ConversionRun::waitForWavcat(std::int64_t pid, const QString& promptDir, const QString& outputFileName)
{
    if (!m_progressHook) {
        WaitForProcess(pid, kInfiniteWait);
        return false;
    }
    const std::int64_t expected = expectedOutputBytes(m_wavcatArguments.mid(0, m_wavcatArguments.size() - 1),
                                                      promptDir, outputFileName);
    bool stopped = false;
    while (!waitForProcessEnd(pid, kProgressStepMs)) {
        if (stopped)
            continue;
        if (!m_progressHook(processBytesWritten(pid).value_or(0), expected))
            stopped = terminateProcess(pid);
    }
    return stopped;
}

std::int64_t expectedOutputBytes(const QStringList& prompts, const QString& promptDir,
                                 const QString& outputFileName)
{
    struct Sizes
    {
        std::int64_t header = 0;
        std::int64_t data = 0;
    };
    QHash<QString, Sizes> sizes; // a text repeats few prompts many times
    std::int64_t total = 0;
    for (const QString& prompt : prompts) {
        auto known = sizes.constFind(prompt);
        if (known == sizes.cend()) {
            QFile file(QDir(promptDir).filePath(prompt));
            Sizes s;
            // Only a regular file has a size to go by; a pipe would not even let its header be read.
            if (QFileInfo(file).isFile() && file.open(QIODevice::ReadOnly)) {
                s.header = headerlessKindOf(prompt) ? 0 : wavHeaderBytes(file);
                s.data = std::max<std::int64_t>(0, file.size() - s.header);
            }
            known = sizes.insert(prompt, s);
        }
        // wavcat writes the header its first input has.
        if (total == 0 && !headerlessKindOf(outputFileName))
            total = known->header;
        total += known->data;
    }
    return total;
}

} // namespace quillfen
