// quillfen-cli: the conversion run without the window, and a decoder to check what a WAV says.
#include "cli/command_line.h"
#include "conversion/conversion_run.h"
#include "conversion/message_set_run.h"
#include "conversion/stream_decoder.h"
#include "conversion/tty_decoder.h"
#include "platform/app_error.h"
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
            const tty::DecodedText decoded = tty::decodeFile(QFile::encodeName(path).toStdString(), options);
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

// Makes a message set: 0 when every file was written and checked, 2 when the set itself is refused
// (nothing is written then), 1 when a file could not be made (the folder is left as it was).
int makeSet(const CliOptions& options)
{
    StderrMessages messages(QStringLiteral("quillfen-cli"));
    setMessages(&messages);
    try {
        const MessageSetOutcome outcome =
            MessageSetRun().run(QDir::current().absoluteFilePath(options.csv), options.system, options.choice,
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
        return 0;
    } catch (const AppError& e) {
        return fail(e.description, e.number == AppError::InvalidProcedureCall ? 2 : 1);
    }
}

// Converts the text into the output file; 0 when it is complete.
int convert(const CliOptions& options)
{
    // The run works in the program directory; the user meant a path relative to where they are.
    const QString outputPath = QDir::current().absoluteFilePath(options.output);
    const QString text = options.words.isEmpty() ? readStandardInput() : options.words.join(QLatin1Char(' '));

    // A file of lead-in alone helps nobody: the window keeps its designed run, the command line says so.
    if (!text.isEmpty() && !sendsMoreThanSpaces(text))
        return fail(
            QStringLiteral("nothing in the text can be sent: a text telephone prints only the letters "
                           "A to Z, the digits, the space and \" , ? : . ' # $ - ( ) !; "
                           "no WAV file written"),
            1);

    StderrMessages messages(QStringLiteral("quillfen-cli"));
    setMessages(&messages);
    StdoutDiagnostics diagnostics;
    ConversionRun run(diagnostics);
    run.setOutputFormat(options.format);
    const RunOutcome outcome = run.cmdConstructWavFromString_Click(text, outputPath);
    if (options.showCommand && outcome != RunOutcome::EmptyText)
        diagnostics.DiagOutput(run.WavcatCommand());
    switch (outcome) {
    case RunOutcome::Completed:
        return 0;
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
