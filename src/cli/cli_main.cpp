// quillfen-cli: the conversion run without the window, and a decoder to check what a WAV says.
#include "conversion/conversion_run.h"
#include "conversion/tty_decoder.h"
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
    "       quillfen-cli [TEXT...] -o OUTPUT.wav\n"
    "       quillfen-cli --decode FILE.wav\n"
    "\n"
    "Put -- before text that starts with '-': every later argument is text.";

class StdoutDiagnostics final : public DiagnosticSink
{
public:
    void clearDiagnostics() override {}
    void DiagOutput(const QString& line) override
    {
        const QByteArray bytes = line.toUtf8();
        std::fwrite(bytes.constData(), 1, bytes.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
};

int fail(const QString& message, int status = 2)
{
    std::fprintf(stderr, "quillfen-cli: %s\n", message.toUtf8().constData());
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

int decode(const QString& path)
{
    try {
        const tty::DecodedText decoded = tty::decodeFile(QFile::encodeName(path).toStdString());
        std::fwrite(decoded.text.data(), 1, decoded.text.size(), stdout);
        std::fputc('\n', stdout);
        if (decoded.characters == 0)
            std::fprintf(stderr, "quillfen-cli: no TTY characters found in %s\n", path.toUtf8().constData());
        return 0;
    } catch (const std::exception& e) {
        return fail(QString::fromUtf8(e.what()), 1);
    }
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
                                    QStringLiteral("The WAV file to write; an existing file is replaced only "
                                                   "on success."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption decodeOption(QStringLiteral("decode"),
                                          QStringLiteral("Print the text that the TTY tones in FILE carry."),
                                          QStringLiteral("FILE"));
    const QCommandLineOption showCommand(
        QStringLiteral("show-command"),
        QStringLiteral("After the run, print the wavcat command line it used."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption versionOption(QStringLiteral("version"), QStringLiteral("Show the version."));
    parser.addOptions({output, decodeOption, showCommand, help, versionOption});
    parser.addPositionalArgument(QStringLiteral("TEXT"), QStringLiteral("The text to convert."),
                                 QStringLiteral("[TEXT...]"));

    if (!parser.parse(QCoreApplication::arguments())) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return fail(QStringLiteral("unknown option %1; put -- before text that starts with '-'")
                            .arg(spelled(unknown.first())));
        // A value option can only miss its value as the last argument.
        const QString last = QCoreApplication::arguments().constLast();
        if (last.startsWith(QLatin1Char('-')))
            return fail(last + QStringLiteral(" needs a file name; see --help"));
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
        if (parser.isSet(output) || !words.isEmpty())
            return fail(QStringLiteral("--decode takes a file and nothing else"));
        return decode(parser.value(decodeOption));
    }
    if (!parser.isSet(output))
        return fail(QStringLiteral("no output file given; use -o FILE.wav"));
    if (parser.value(output).isEmpty())
        return fail(QStringLiteral("the output file name is empty"));
    // The run works in the program directory; the user meant a path relative to where they are.
    const QString outputPath = QDir::current().absoluteFilePath(parser.value(output));

    const QString text = words.isEmpty() ? readStandardInput() : words.join(QLatin1Char(' '));

    StderrMessages messages(QStringLiteral("quillfen-cli"));
    setMessages(&messages);
    StdoutDiagnostics diagnostics;
    ConversionRun run(diagnostics);
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
