// quillfen-cli: the conversion run without the window, and a decoder to check what a WAV says.
#include "conversion/conversion_run.h"
#include "conversion/output_format.h"
#include "conversion/tty_decoder.h"
#include "platform/app_error.h"
#include "platform/messages.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <iostream>
#include <iterator>

using namespace quillfen;

namespace {

const char* const kDescription =
    "Turns TEXT (the arguments joined by spaces, or standard input when there are none) into a WAV\n"
    "file of TTY/TDD tones that a text telephone prints. The run's diagnostic lines go to standard\n"
    "output; the exit status is 0 only when the WAV file is complete.\n"
    "\n"
    "With --decode, prints the text that the TTY tones in each FILE carry, as a text telephone would,\n"
    "each file's text under its name when there are several. Exit status 0 when text was found, 1\n"
    "when none was, 2 when a file cannot be read.\n"
    "\n"
    "Output formats: a WAV file in 16-bit linear PCM (the default), u-law or A-law, at 8000 Hz (the\n"
    "default), 11025, 16000, 22050, 44100 or 48000 Hz; or, chosen by the output name in any case, a\n"
    "file without a header as phone systems such as Asterisk play it: .ulaw or .ul (u-law, 8000 Hz),\n"
    ".alaw or .al (A-law, 8000 Hz), .sln (16-bit signed linear, 8000 Hz), .sln16 or .sln48 (the same\n"
    "at 16000 or 48000 Hz). Any other name gets a WAV file. Formats other than the standard one\n"
    "(16-bit, 8000 Hz, -10 dBFS) get prompts of their own, made on first use in ~/.cache/quillfen.\n"
    "\n"
    "       quillfen-cli [TEXT...] [--encoding pcm16|ulaw|alaw] [--rate HZ] [--level DB] -o OUTPUT\n"
    "       quillfen-cli --decode [--timestamps] [--baud 45.45|50] [--unshift-on-space] FILE...\n"
    "\n"
    "Put -- before text that starts with '-': every later argument is text.";

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
            writeOut((i > 0 ? "\n" : "") + path.toStdString() + ":\n");
        try {
            const tty::DecodedText decoded = tty::decodeFile(QFile::encodeName(path).toStdString(), options);
            if (timestamps) {
                for (const tty::Burst& burst : decoded.bursts)
                    writeOut(tty::formatOffset(burst.startSeconds) + ' ' + burst.text + '\n');
            } else if (!decoded.text.empty()) {
                writeOut(decoded.text + '\n');
            }
            std::fflush(stdout);
            if (decoded.text.empty())
                std::fprintf(stderr, "quillfen-cli: no TTY text found in %s\n", path.toUtf8().constData());
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

// The option as the user wrote it, for messages: "-o", "--bogus".
QString spelled(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The file to write; an existing file is replaced only "
                                                   "on success."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption encodingOption(
        QStringLiteral("encoding"),
        QStringLiteral("The output's encoding: pcm16 (16-bit linear, the default), ulaw or alaw."),
        QStringLiteral("ENCODING"));
    const QCommandLineOption rateOption(
        QStringLiteral("rate"),
        QStringLiteral(
            "The output's sample rate in Hz: 8000 (the default), 11025, 16000, 22050, 44100 or 48000."),
        QStringLiteral("HZ"));
    const QCommandLineOption levelOption(
        QStringLiteral("level"),
        QStringLiteral("The peak of the tones in dBFS, from -30 to 0 in steps of 0.1; the default is -10."),
        QStringLiteral("DB"));
    const QCommandLineOption decodeOption(
        QStringLiteral("decode"), QStringLiteral("Print the text that the TTY tones in each FILE carry."));
    const QCommandLineOption timestamps(
        QStringLiteral("timestamps"),
        QStringLiteral("With --decode: start each burst of text with its offset in the recording, "
                       "[mm:ss.t]."));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("With --decode: read every burst at 45.45 or 50 baud "
                                                 "instead of detecting the rate."),
                                  QStringLiteral("RATE"));
    const QCommandLineOption unshiftOnSpace(
        QStringLiteral("unshift-on-space"),
        QStringLiteral("With --decode: fall back to letters after every space, for senders that expect "
                       "a receiver to."));
    const QCommandLineOption showCommand(
        QStringLiteral("show-command"),
        QStringLiteral("After the run, print the wavcat command line it used."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption versionOption(QStringLiteral("version"), QStringLiteral("Show the version."));
    parser.addOptions({output, encodingOption, rateOption, levelOption, decodeOption, timestamps, baud,
                       unshiftOnSpace, showCommand, help, versionOption});
    parser.addPositionalArgument(QStringLiteral("TEXT"),
                                 QStringLiteral("The text to convert; with --decode, the files to read."),
                                 QStringLiteral("[TEXT...|FILE...]"));

    if (!parser.parse(QCoreApplication::arguments())) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return fail(QStringLiteral("unknown option %1; put -- before text that starts with '-'")
                            .arg(spelled(unknown.first())));
        // A value option can only miss its value as the last argument.
        const QString last = QCoreApplication::arguments().constLast();
        if (last.startsWith(QLatin1Char('-')))
            return fail(last + QStringLiteral(" needs a value; see --help"));
        return fail(parser.errorText() + QStringLiteral(" See --help."));
    }
    if (parser.isSet(help)) {
        std::fputs(parser.helpText().toUtf8().constData(), stdout);
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("quillfen-cli %s\n", version::kText);
        return 0;
    }

    const QStringList words = parser.positionalArguments();
    if (parser.isSet(decodeOption)) {
        for (const QCommandLineOption* writing :
             {&output, &showCommand, &encodingOption, &rateOption, &levelOption})
            if (parser.isSet(*writing))
                return fail(
                    QStringLiteral("--decode reads files and writes none; leave out -o, --show-command, "
                                   "--encoding, --rate and --level"));
        if (words.isEmpty())
            return fail(QStringLiteral("--decode needs at least one file"));
        tty::DecodeOptions options;
        options.unshiftOnSpace = parser.isSet(unshiftOnSpace);
        if (parser.isSet(baud)) {
            const QString rate = parser.value(baud);
            if (rate == QLatin1String("45.45") || rate == QLatin1String("45"))
                options.baud = tty::BaudRate::Baud45;
            else if (rate == QLatin1String("50"))
                options.baud = tty::BaudRate::Baud50;
            else
                return fail(QStringLiteral("--baud takes 45.45 or 50, not '%1'").arg(rate));
        }
        return decodeFiles(words, options, parser.isSet(timestamps));
    }
    for (const QCommandLineOption* only : {&timestamps, &baud, &unshiftOnSpace})
        if (parser.isSet(*only))
            return fail(QStringLiteral("--%1 goes with --decode").arg(only->names().constFirst()));
    // Every value is checked before anything is started or touched.
    OutputFormat format;
    if (parser.isSet(encodingOption)) {
        const auto encoding = parseEncoding(parser.value(encodingOption));
        if (!encoding)
            return fail(QStringLiteral("--encoding takes pcm16, ulaw or alaw, not '%1'")
                            .arg(parser.value(encodingOption)));
        format.encoding = *encoding;
    }
    if (parser.isSet(rateOption)) {
        const auto rate = parseSampleRate(parser.value(rateOption));
        if (!rate)
            return fail(QStringLiteral("--rate takes 8000, 11025, 16000, 22050, 44100 or 48000, not '%1'")
                            .arg(parser.value(rateOption)));
        format.sampleRate = *rate;
    }
    if (parser.isSet(levelOption)) {
        const auto level = parseLevel(parser.value(levelOption));
        if (!level)
            return fail(QStringLiteral("--level takes a number of dBFS from -30 to 0, not '%1'")
                            .arg(parser.value(levelOption)));
        format.levelTenths = *level;
    }
    if (!parser.isSet(output))
        return fail(QStringLiteral("no output file given; use -o FILE.wav"));
    if (parser.value(output).isEmpty())
        return fail(QStringLiteral("the output file name is empty"));
    // The run works in the program directory; the user meant a path relative to where they are.
    const QString outputPath = QDir::current().absoluteFilePath(parser.value(output));
    // A headerless name says what it holds; an option that says otherwise is a mistake, not a choice.
    if (const auto kind = headerlessKindOf(outputPath)) {
        const OutputFormat named = formatForOutput(format, outputPath);
        if ((parser.isSet(encodingOption) && named.encoding != format.encoding) ||
            (parser.isSet(rateOption) && named.sampleRate != format.sampleRate))
            return fail(
                QStringLiteral("a %1 file is headerless %2 at %3 Hz; leave out --encoding and --rate, "
                               "or give the output another name")
                    .arg(kind->extension, encodingKeyword(kind->encoding))
                    .arg(kind->sampleRate));
    }

    const QString text = words.isEmpty() ? readStandardInput() : words.join(QLatin1Char(' '));

    StderrMessages messages(QStringLiteral("quillfen-cli"));
    setMessages(&messages);
    StdoutDiagnostics diagnostics;
    ConversionRun run(diagnostics);
    run.setOutputFormat(format);
    const RunOutcome outcome = run.cmdConstructWavFromString_Click(text, outputPath);
    if (parser.isSet(showCommand) && outcome != RunOutcome::EmptyText)
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
