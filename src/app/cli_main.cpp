// quillfen-cli: the conversion run without the window, and a decoder to check what a WAV says.
#include "conversion/conversion_run.h"
#include "conversion/tty_decoder.h"
#include "platform/messages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <iostream>
#include <iterator>

using namespace quillfen;

namespace {

const char* const kUsage =
    "Usage: quillfen-cli [TEXT...] -o OUTPUT.wav\n"
    "       quillfen-cli --decode FILE.wav\n"
    "\n"
    "Turns TEXT (the arguments joined by spaces, or standard input when there are none) into a WAV\n"
    "file of TTY/TDD tones that a text telephone prints. The run's diagnostic lines go to standard\n"
    "output; the exit status is 0 only when the WAV file is complete.\n"
    "\n"
    "  -o, --output FILE   the WAV file to write (an existing file is replaced only on success)\n"
    "      --decode FILE   print the text that the TTY tones in FILE carry\n"
    "      --show-command  after the run, print the wavcat command line it used\n"
    "      --help          show this help\n"
    "      --version       show the version\n"
    "      --              take every later argument as text\n";

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

class StderrMessages final : public Messages
{
public:
    MessageResult show(const QString& text, MessageButtons, const QString&) override
    {
        std::fprintf(stderr, "quillfen-cli: %s\n", text.toUtf8().constData());
        return MessageResult::Ok;
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);

    QStringList words;
    QString output;
    bool haveOutput = false;
    QString decodePath;
    bool decodeWanted = false;
    bool textOnly = false;
    bool showCommand = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (textOnly) {
            words << a;
        } else if (a == QLatin1String("--")) {
            textOnly = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == QLatin1String("--show-command")) {
            showCommand = true;
        } else if (a == QLatin1String("--version")) {
            std::printf("quillfen-cli %s\n", QUILLFEN_VERSION_STRING);
            return 0;
        } else if (a == QLatin1String("-o") || a == QLatin1String("--output") ||
                   a == QLatin1String("--decode")) {
            if (i + 1 >= args.size())
                return fail(a + QStringLiteral(" needs a file name; see --help"));
            if (a == QLatin1String("--decode")) {
                decodeWanted = true;
                decodePath = args[++i];
            } else {
                haveOutput = true;
                output = args[++i];
            }
        } else if (a.startsWith(QLatin1String("--output="))) {
            haveOutput = true;
            output = a.mid(9);
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            return fail(QStringLiteral("unknown option %1; put -- before text that starts with '-'").arg(a));
        } else {
            words << a;
        }
    }

    if (decodeWanted) {
        if (haveOutput || !words.isEmpty())
            return fail(QStringLiteral("--decode takes a file and nothing else"));
        return decode(decodePath);
    }
    if (!haveOutput)
        return fail(QStringLiteral("no output file given; use -o FILE.wav"));
    if (output.isEmpty())
        return fail(QStringLiteral("the output file name is empty"));
    // The run works in the program directory; the user meant a path relative to where they are.
    output = QDir::current().absoluteFilePath(output);

    const QString text = words.isEmpty() ? readStandardInput() : words.join(QLatin1Char(' '));

    StderrMessages messages;
    setMessages(&messages);
    StdoutDiagnostics diagnostics;
    ConversionRun run(diagnostics);
    const RunOutcome outcome = run.cmdConstructWavFromString_Click(text, output);
    if (showCommand && outcome != RunOutcome::EmptyText)
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
