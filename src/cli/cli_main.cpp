// quillfen-cli: the conversion run without the window, and a decoder to check what a WAV says.
#include "cli/command_line.h"
#include "codecs/codec.h"
#include "conversion/codec_check.h"
#include "conversion/conversion_run.h"
#include "conversion/encoded_output.h"
#include "conversion/message_set.h"
#include "conversion/message_set_run.h"
#include "conversion/stream_decoder.h"
#include "conversion/transliteration.h"
#include "conversion/tty_decoder.h"
#include "localization/language_codes.h"
#include "platform/app_error.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>

#include <cstdio>
#include <iostream>
#include <iterator>
#include <optional>
#include <variant>

using namespace quillfen;

namespace {

// Control characters from the text or a file name as escapes ("\x1b"), so that they cannot move the
// cursor, recolour or clear the terminal. A CR LF pair is the text's own line break and stays.
QString shownOnTerminal(const QString& line)
{
    QString shown;
    shown.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char16_t c = line.at(i).unicode();
        const bool lineBreak = c == u'\n' || (c == u'\r' && line.mid(i + 1, 1) == QLatin1String("\n"));
        if ((c < 0x20 && c != u'\t' && !lineBreak) || (c >= 0x7F && c <= 0x9F))
            shown += QStringLiteral("\\x%1").arg(unsigned(c), 2, 16, QLatin1Char('0'));
        else
            shown += QChar(c);
    }
    return shown;
}

class StdoutDiagnostics final : public DiagnosticSink
{
public:
    void clearDiagnostics() override {}
    void DiagOutput(const QString& line) override
    {
        const QByteArray bytes = shownOnTerminal(line).toUtf8();
        std::fwrite(bytes.constData(), 1, bytes.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
};

int fail(const QString& message, int status = 2)
{
    std::fprintf(stderr, "quillfen-cli: %s\n", shownOnTerminal(message).toUtf8().constData());
    return status;
}

void warn(const QString& message)
{
    fail(QStringLiteral("warning: ") + message);
}

// A line per codec (and one for the clean audio) on standard output, `label` first where there are
// several messages; a warning where a codec makes the message print something else.
void printCheck(const QString& label, const CodecCheck& check, DiagnosticSink& out)
{
    const QString lead = label.isEmpty() ? QString() : label + QStringLiteral(", ");
    const auto line = [&](const QString& what, double rate, const QString& printed) {
        out.DiagOutput(QStringLiteral("%1%2: character error rate %3 %; prints \"%4\"")
                           .arg(lead, what, QString::number(rate * 100.0, 'f', 1), printed));
    };
    line(QStringLiteral("clean"), characterErrorRate(check.expected, check.cleanPrinted), check.cleanPrinted);
    for (const CodecResult& result : check.results) {
        const std::string_view name = codecs::codecInfo(result.codec).name;
        const QString codec = QString::fromLatin1(name.data(), qsizetype(name.size()));
        line(codec, result.characterErrorRate, result.printed);
        if (result.printed != check.cleanPrinted)
            warn(QStringLiteral("%1through %2 it prints \"%3\", not \"%4\" as the clean audio does")
                     .arg(lead, codec, result.printed, check.cleanPrinted));
    }
}

// Text from a pipe or file: lines as a text box would hold them (CR LF), without the final break
// that editors and echo add.
QString readStandardInput()
{
    std::string bytes((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

std::string shown(const std::string& text)
{
    return shownOnTerminal(QString::fromStdString(text)).toStdString();
}

void writeOut(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

// A file that libsndfile reads, or one of the encoded outputs through its own reader.
tty::DecodedText decodeAnyFile(const QString& path, const tty::DecodeOptions& options)
{
    if (const auto kind = encodedKindOf(path); kind && kind->headerless) {
        const auto [samples, rate] = readEncodedAudio(*kind, path);
        return tty::decodeSamples(samples, rate, options);
    }
    return tty::decodeFile(QFile::encodeName(path).toStdString(), options);
}

// Prints each file's text (under its name when there are several); 0 when any text was found, 1
// when none was, 2 when a file could not be read. One unreadable file does not stop the others.
int decodeFiles(const QStringList& files, const tty::DecodeOptions& options, bool timestamps)
{
    bool found = false;
    bool unreadable = false;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString& path = files[i];
        if (files.size() > 1)
            writeOut((i > 0 ? "\n" : "") + shownOnTerminal(path).toStdString() + ":\n");
        try {
            const tty::DecodedText decoded = decodeAnyFile(path, options);
            if (timestamps) {
                for (const tty::Burst& burst : decoded.bursts)
                    writeOut(tty::formatOffset(burst.startSeconds) + ' ' + shown(burst.text) + '\n');
            } else if (!decoded.text.empty()) {
                writeOut(shown(decoded.text) + '\n');
            }
            std::fflush(stdout);
            if (decoded.text.empty())
                std::fprintf(stderr, "quillfen-cli: no TTY text found in %s\n",
                             shownOnTerminal(path).toUtf8().constData());
            else
                found = true;
        } catch (const AppError& e) {
            std::fflush(stdout);
            fail(e.description);
            unreadable = true;
        }
    }
    return unreadable ? 2 : found ? 0 : 1;
}

// Prints standard input's text as it is read, each burst on a line of its own behind its offset with
// `timestamps` (as a file's, the line ending when the burst does), else all of it on one line. 0 when
// the stream was read to its end, with or without text; 2 when it could not be read.
int decodeStandardInput(const CliOptions& options)
{
    bool printed = false;
    const auto print = [&](const tty::LivePiece& piece) {
        switch (piece.kind) {
        case tty::LivePiece::Kind::BurstStart:
            if (options.timestamps)
                writeOut(tty::formatOffset(piece.seconds) + ' ');
            break;
        case tty::LivePiece::Kind::Text:
            writeOut(shown(piece.text));
            printed = true;
            break;
        case tty::LivePiece::Kind::BurstEnd:
            if (options.timestamps)
                writeOut("\n");
            break;
        }
        std::fflush(stdout);
    };
    const std::string name = "standard input";
    std::optional<QString> failure;
    try {
        useBinaryStandardInput();
        tty::decodeStream(stdin, name, options.stream, options.decode, print);
    } catch (const AppError& e) {
        // What was heard before a read failed has been printed.
        failure = e.description;
    }
    if (printed && !options.timestamps)
        writeOut("\n");
    std::fflush(stdout);
    if (failure)
        return fail(*failure);
    if (!printed)
        std::fprintf(stderr, "quillfen-cli: no TTY text found in %s\n", name.c_str());
    return 0;
}

// The rule the options ask for: the one named, else the user's language's; none without
// --transliterate.
std::optional<SpellingRule> spellingOf(const CliOptions& options)
{
    if (!options.transliterate)
        return std::nullopt;
    return options.spelling ? options.spelling : spellingRuleForLcid(GetUserDefaultLangID());
}

// Makes a message set: 0 when every file was written and checked, 2 when the set itself is refused
// (nothing is written then), 1 when a file could not be made (the folder is left as it was).
int makeSet(const CliOptions& options)
{
    StderrMessages messages(QStringLiteral("quillfen-cli"));
    setMessages(&messages);
    // The runs work in the program directory; the user meant paths relative to where they are.
    const QString csvPath = QDir::current().absoluteFilePath(options.csv);
    try {
        MessageSetRun set;
        set.setSpelling(spellingOf(options));
        const MessageSetOutcome outcome = set.run(csvPath, options.system, options.choice,
                                                  QDir::current().absoluteFilePath(options.output));
        StdoutDiagnostics out;
        QSet<QString> names;
        for (const WrittenFile& f : outcome.files) {
            names.insert(f.message);
            out.DiagOutput(QStringLiteral("%1: %2").arg(f.path, f.printed));
        }
        out.DiagOutput(QStringLiteral("%1 messages, %2 files written and checked in %3; see manifest.csv")
                           .arg(names.size())
                           .arg(outcome.files.size())
                           .arg(options.output));
    } catch (const AppError& e) {
        return fail(e.description, e.number == AppError::InvalidProcedureCall ? 2 : 1);
    }
    if (options.checkCodecs.empty())
        return 0;
    // The set is in place; the check reads the CSV again and joins each message apart from it.
    try {
        StdoutDiagnostics out;
        CodecCheckRun check;
        const int level = options.choice.levelTenths.value_or(OutputFormat::kStandardLevelTenths);
        for (const MessageRow& row : parseMessageCsv(readWholeFile(csvPath)))
            printCheck(row.name, check.check(row.text, level, options.checkCodecs), out);
        return 0;
    } catch (const AppError& e) {
        return fail(QStringLiteral("the codec check could not run: %1").arg(e.description), 1);
    }
}

// The check of a single conversion, after its file is written.
int checkCodecs(const CliOptions& options, const QString& text, DiagnosticSink& out)
{
    try {
        printCheck({}, CodecCheckRun().check(text, options.format.levelTenths, options.checkCodecs), out);
        return 0;
    } catch (const AppError& e) {
        return fail(QStringLiteral("the codec check could not run: %1").arg(e.description), 1);
    }
}

// A conversion into one of the files wavcat does not write itself: 0 when it is in place.
int convertEncodedOutput(const CliOptions& options, const EncodedKind& kind, const QString& text,
                         const QString& outputPath)
{
    StderrMessages messages(QStringLiteral("quillfen-cli"));
    setMessages(&messages);
    StdoutDiagnostics diagnostics;
    ConversionRun run(diagnostics);
    run.setOutputFormat(options.format);
    const QString expected = printedText(text);
    const EncodedConversion done = convertEncoded(run, kind, text, outputPath, expected);
    if (options.showCommand && done.outcome != RunOutcome::EmptyText)
        diagnostics.DiagOutput(run.WavcatCommand());
    if (done.outcome == RunOutcome::EmptyText)
        return 1;
    if (done.outcome == RunOutcome::Failed)
        return fail(QStringLiteral("no %1 file written: %2").arg(kind.extension, done.failure), 1);
    if (kind.damagesTones)
        warn(QStringLiteral("%1 damages TTY tones; a text telephone may print something else from %2")
                 .arg(kind.label, options.output));
    if (done.printed != expected)
        warn(QStringLiteral("read back, %1 prints \"%2\", not \"%3\"")
                 .arg(options.output, done.printed, expected));
    return options.checkCodecs.empty() ? 0 : checkCodecs(options, text, diagnostics);
}

// Converts the text into the output file; 0 when it is complete.
int convert(const CliOptions& options)
{
    // The run works in the program directory; the user meant a path relative to where they are.
    const QString outputPath = QDir::current().absoluteFilePath(options.output);
    const QString text = options.words.isEmpty() ? readStandardInput() : options.words.join(QLatin1Char(' '));

    // A file of lead-in alone helps nobody: the window keeps its designed run, the command line says so.
    const std::optional<SpellingRule> spelling = spellingOf(options);
    if (!text.isEmpty() && !sendsMoreThanSpaces(text, spelling))
        return fail(
            QStringLiteral("nothing in the text can be sent: a text telephone prints only the letters "
                           "A to Z, the digits, the space and \" , ? : . ' # $ - ( ) !; "
                           "no WAV file written"),
            1);
    if (const auto kind = encodedKindOf(outputPath))
        return convertEncodedOutput(options, *kind, text, outputPath);

    // A recording that cannot be read is the caller's mistake, like a wrong option: refused before
    // anything runs.
    SpokenParts spoken;
    for (const auto& [given, checked] : {std::pair{&options.spoken.before, &spoken.before},
                                         std::pair{&options.spoken.after, &spoken.after}}) {
        if (given->isEmpty())
            continue;
        *checked = QDir::current().absoluteFilePath(*given);
        try {
            checkRecording(*checked);
        } catch (const AppError& e) {
            return fail(QStringLiteral("no WAV file written: %1").arg(e.description));
        }
    }

    StderrMessages messages(QStringLiteral("quillfen-cli"));
    setMessages(&messages);
    StdoutDiagnostics diagnostics;
    ConversionRun run(diagnostics);
    run.setOutputFormat(options.format);
    run.setSpokenParts(spoken);
    run.setSpelling(spelling);
    const RunOutcome outcome = run.cmdConstructWavFromString_Click(text, outputPath);
    if (options.showCommand && outcome != RunOutcome::EmptyText)
        diagnostics.DiagOutput(run.WavcatCommand());
    switch (outcome) {
    case RunOutcome::Completed:
        return options.checkCodecs.empty() ? 0 : checkCodecs(options, text, diagnostics);
    case RunOutcome::EmptyText:
        return 1;
    case RunOutcome::Failed:
        break;
    }
    return fail(QStringLiteral("no WAV file written: %1").arg(run.failure()), 1);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);

    const auto parsed = parseCommandLine(QCoreApplication::arguments());
    if (const auto* refusal = std::get_if<CliRefusal>(&parsed))
        return fail(refusal->message);
    const CliOptions& options = *std::get_if<CliOptions>(&parsed);
    switch (options.action) {
    case CliOptions::Action::Help:
        std::fputs(commandLineHelp().toUtf8().constData(), stdout);
        return 0;
    case CliOptions::Action::Version:
        std::printf("quillfen-cli %s\n", version::kText);
        return 0;
    case CliOptions::Action::Decode:
        if (options.live)
            return decodeStandardInput(options);
        return decodeFiles(options.words, options.decode, options.timestamps);
    case CliOptions::Action::Batch:
        return makeSet(options);
    case CliOptions::Action::Convert:
        break;
    }
    return convert(options);
}
