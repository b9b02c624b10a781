#include "cli/command_line.h"

#include "conversion/encoded_output.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace quillfen {
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
    "With --decode -, reads standard input as it arrives, a WAV stream (or, with --raw, audio without a\n"
    "header) as a recorder or a phone system pipes it, and prints each character the moment it is read,\n"
    "until the input ends. Exit status 0 when the stream was read to its end, 2 when it cannot be.\n"
    "\n"
    "Output formats: a WAV file in 16-bit linear PCM (the default), u-law or A-law, at 8000 Hz (the\n"
    "default), 11025, 16000, 22050, 44100 or 48000 Hz; or, chosen by the output name in any case, a\n"
    "file without a header as phone systems such as Asterisk play it: .ulaw or .ul (u-law, 8000 Hz),\n"
    ".alaw or .al (A-law, 8000 Hz), .sln (16-bit signed linear, 8000 Hz), .sln16 or .sln48 (the same\n"
    "at 16000 or 48000 Hz). Any other name gets a WAV file. Formats other than the standard one\n"
    "(16-bit, 8000 Hz, -10 dBFS) get prompts of their own, made on first use in ~/.cache/quillfen.\n"
    "\n"
    "--voice-before and --voice-after put a recording (any file libsndfile reads: WAV, FLAC, Ogg...)\n"
    "before or after the tones in the same file, for numbers that voice callers reach too. It is made\n"
    "into the output's format and level, with half a second of silence between it and the tones. A\n"
    "recording that cannot be read is refused with status 2 and nothing is written.\n"
    "\n"
    "A single conversion also writes, by its name: .wav16 (a 16-bit WAV file at 16000 Hz), .pcmu or\n"
    ".pcma (headerless u-law or A-law, 8000 Hz), .g722 (headerless G.722 frames of 16 kHz audio),\n"
    ".gsm (headerless 33-byte GSM 06.10 frames) or .g729 (headerless 10-byte G.729 frames). These are\n"
    "joined at 8000 Hz (16000 for .wav16), encoded, read back and decoded; GSM and G.729 damage TTY\n"
    "tones, so those files get a warning on standard error and are kept whatever they print. --decode\n"
    "reads each of them.\n"
    "\n"
    "With --check-codec, each message is joined once more at 8000 Hz, carried through each codec\n"
    "named and back, and decoded: a line per message and codec gives the character error rate and\n"
    "what a text telephone prints, with a warning on standard error where that differs from the clean\n"
    "audio. The files written are never touched by the check, and its warnings leave the exit status\n"
    "as it is; a check that cannot run at all ends with status 1.\n"
    "\n"
    "       quillfen-cli [TEXT...] [--encoding pcm16|ulaw|alaw] [--rate HZ] [--level DB]\n"
    "                    [--baud 45.45|50] [--transliterate[=de|fr|es|en]] [--voice-before FILE]\n"
    "                    [--voice-after FILE] [--check-codec LIST] -o OUTPUT\n"
    "       quillfen-cli --decode [--timestamps] [--baud 45.45|50] [--unshift-on-space] FILE...\n"
    "       quillfen-cli --decode [--timestamps] [--raw HZ [--encoding pcm16|ulaw|alaw]] -\n"
    "       quillfen-cli --batch SET.csv --system SYSTEM [--encoding E] [--rate HZ] [--level DB]\n"
    "                    [--transliterate[=de|fr|es|en]] [--check-codec LIST] -o DIR\n"
    "\n"
    "Put -- before text that starts with '-': every later argument is text.";

// The options in the order --help lists them.
struct Options
{
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("The file to write; an existing file is replaced only "
                                             "on success."),
                              QStringLiteral("FILE")};
    QCommandLineOption encoding{
        QStringLiteral("encoding"),
        QStringLiteral("The output's encoding: pcm16 (16-bit linear, the default), ulaw or alaw; with "
                       "--decode --raw, the input's."),
        QStringLiteral("ENCODING")};
    QCommandLineOption rate{
        QStringLiteral("rate"),
        QStringLiteral(
            "The output's sample rate in Hz: 8000 (the default), 11025, 16000, 22050, 44100 or 48000."),
        QStringLiteral("HZ")};
    QCommandLineOption level{
        QStringLiteral("level"),
        QStringLiteral("The peak of the tones in dBFS, from -30 to 0 in steps of 0.1; the default is -10."),
        QStringLiteral("DB")};
    QCommandLineOption voiceBefore{
        QStringLiteral("voice-before"),
        QStringLiteral("A recording to say in voice before the tones, in the same output file."),
        QStringLiteral("FILE")};
    QCommandLineOption voiceAfter{
        QStringLiteral("voice-after"),
        QStringLiteral("A recording to say in voice after the tones, in the same output file."),
        QStringLiteral("FILE")};
    QCommandLineOption decode{QStringLiteral("decode"),
                              QStringLiteral("Print the text that the TTY tones in each FILE carry.")};
    QCommandLineOption timestamps{
        QStringLiteral("timestamps"),
        QStringLiteral("With --decode: start each burst of text with its offset in the recording, "
                       "[mm:ss.t].")};
    QCommandLineOption baud{QStringLiteral("baud"),
                            QStringLiteral("The line speed: 45.45 baud (the default) or 50. With --decode: "
                                           "read every burst at that rate instead of detecting it."),
                            QStringLiteral("RATE")};
    // Its rule comes as --transliterate=de: parseCommandLine takes it off before the parser sees it.
    QCommandLineOption transliterate{
        QStringLiteral("transliterate"),
        QStringLiteral("Spell accented letters and signs that a text telephone cannot print in plain "
                       "letters (É as E, € as EUR) instead of skipping them; =de spells Ä as AE, =fr, =es "
                       "and =en as A; without a rule, the user's language decides.")};
    QCommandLineOption unshiftOnSpace{
        QStringLiteral("unshift-on-space"),
        QStringLiteral("With --decode: fall back to letters after every space, for senders that expect "
                       "a receiver to.")};
    QCommandLineOption raw{
        QStringLiteral("raw"),
        QStringLiteral("With --decode -: standard input is one channel of audio without a "
                       "header at RATE Hz, in --encoding (pcm16, little-endian, by default)."),
        QStringLiteral("RATE")};
    QCommandLineOption batch{QStringLiteral("batch"),
                             QStringLiteral("Make every message of the set in CSV (columns name and text) "
                                            "into the folder -o, checked, in the layout --system plays."),
                             QStringLiteral("CSV")};
    QCommandLineOption system{QStringLiteral("system"),
                              QStringLiteral("With --batch: asterisk, freeswitch, cisco, avaya, teams, 3cx "
                                             "or wav."),
                              QStringLiteral("SYSTEM")};
    QCommandLineOption checkCodec{
        QStringLiteral("check-codec"),
        QStringLiteral("After writing, check each message through the codecs in LIST (any of gsm, g729, "
                       "amr, opus, g722, g726, comma-separated): what it prints and its character error "
                       "rate."),
        QStringLiteral("LIST")};
    QCommandLineOption showCommand{QStringLiteral("show-command"),
                                   QStringLiteral("After the run, print the wavcat command line it used.")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")};
    QCommandLineOption version{QStringLiteral("version"), QStringLiteral("Show the version.")};

    void addTo(QCommandLineParser& parser) const
    {
        parser.setApplicationDescription(QString::fromUtf8(kDescription));
        parser.addOptions({output, encoding, rate, level, voiceBefore, voiceAfter, decode, timestamps, baud,
                           unshiftOnSpace, raw, transliterate, batch, system, checkCodec, showCommand, help,
                           version});
        parser.addPositionalArgument(QStringLiteral("TEXT"),
                                     QStringLiteral("The text to convert; with --decode, the files to read."),
                                     QStringLiteral("[TEXT...|FILE...]"));
    }
};

// The option as the user wrote it, for messages: "-o", "--bogus".
QString spelled(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

CliRefusal refusalOfUnparsed(const QCommandLineParser& parser, const QStringList& arguments)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return {QStringLiteral("unknown option %1; put -- before text that starts with '-'")
                    .arg(spelled(unknown.first()))};
    // A value option can only miss its value as the last argument.
    const QString& last = arguments.constLast();
    if (last.startsWith(QLatin1Char('-')))
        return {last + QStringLiteral(" needs a value; see --help")};
    return {parser.errorText() + QStringLiteral(" See --help.")};
}

// Standard input as --raw and --encoding lay it out, or why they are refused.
std::variant<tty::StreamFormat, CliRefusal> streamFormat(const QCommandLineParser& parser, const Options& o)
{
    tty::StreamFormat stream;
    if (!parser.isSet(o.raw))
        return stream;
    const QString rate = parser.value(o.raw);
    bool number = false;
    stream.rawRate = rate.toInt(&number);
    if (!number || !rate.front().isDigit() || !tty::isDecodableRate(stream.rawRate))
        return CliRefusal{
            QStringLiteral("--raw takes a sample rate in Hz from 8000 to 192000, not '%1'").arg(rate)};
    if (parser.isSet(o.encoding)) {
        const auto encoding = parseEncoding(parser.value(o.encoding));
        if (!encoding)
            return CliRefusal{QStringLiteral("--encoding takes pcm16, ulaw or alaw, not '%1'")
                                  .arg(parser.value(o.encoding))};
        stream.rawEncoding = *encoding;
    }
    return stream;
}

// The codecs --check-codec names (none when it is not given), or why the list is refused.
std::variant<std::vector<codecs::Codec>, CliRefusal> checkedCodecs(const QCommandLineParser& parser,
                                                                   const Options& o)
{
    if (!parser.isSet(o.checkCodec))
        return std::vector<codecs::Codec>{};
    const codecs::CodecList list = codecs::parseCodecList(parser.value(o.checkCodec).toStdString());
    if (list.unknown)
        return CliRefusal{QStringLiteral("--check-codec takes a list of gsm, g729, amr, opus, g722 and g726, "
                                         "not '%1'")
                              .arg(QString::fromStdString(*list.unknown))};
    return list.codecs;
}

std::variant<CliOptions, CliRefusal> parseDecode(const QCommandLineParser& parser, const Options& o)
{
    // With --raw, --encoding says how the input is stored, not how to write.
    const bool raw = parser.isSet(o.raw);
    for (const QCommandLineOption* writing : {&o.output, &o.showCommand, &o.encoding, &o.rate, &o.level})
        if (parser.isSet(*writing) && !(raw && writing == &o.encoding))
            return CliRefusal{QStringLiteral("--decode reads files and writes none; leave out -o, "
                                             "--show-command, --encoding, --rate and --level")};
    for (const QCommandLineOption* spoken : {&o.voiceBefore, &o.voiceAfter})
        if (parser.isSet(*spoken))
            return CliRefusal{QStringLiteral("--%1 goes with a conversion, not with --decode")
                                  .arg(spoken->names().constFirst())};
    if (parser.isSet(o.checkCodec))
        return CliRefusal{
            QStringLiteral("--check-codec goes with a conversion or --batch, not with --decode")};
    if (parser.isSet(o.transliterate))
        return CliRefusal{QStringLiteral("--transliterate goes with a conversion or --batch, not --decode")};
    CliOptions options;
    options.action = CliOptions::Action::Decode;
    options.words = parser.positionalArguments();
    if (options.words.isEmpty())
        return CliRefusal{QStringLiteral("--decode needs at least one file")};
    options.live = options.words.contains(QStringLiteral("-"));
    if (options.live && options.words.size() > 1)
        return CliRefusal{QStringLiteral("--decode - reads standard input alone; give no files with it")};
    if (raw && !options.live)
        return CliRefusal{QStringLiteral("--raw describes standard input; use it with --decode -")};
    const auto stream = streamFormat(parser, o);
    if (const auto* refusal = std::get_if<CliRefusal>(&stream))
        return *refusal;
    options.stream = std::get<tty::StreamFormat>(stream);
    options.decode.unshiftOnSpace = parser.isSet(o.unshiftOnSpace);
    options.timestamps = parser.isSet(o.timestamps);
    if (parser.isSet(o.baud)) {
        const QString rate = parser.value(o.baud);
        if (rate == QLatin1String("45.45") || rate == QLatin1String("45"))
            options.decode.baud = tty::BaudRate::Baud45;
        else if (rate == QLatin1String("50"))
            options.decode.baud = tty::BaudRate::Baud50;
        else
            return CliRefusal{QStringLiteral("--baud takes 45.45 or 50, not '%1'").arg(rate)};
    }
    return options;
}

// The format the options ask for, or why one of them is refused.
std::variant<OutputFormat, CliRefusal> requestedFormat(const QCommandLineParser& parser, const Options& o)
{
    OutputFormat format;
    if (parser.isSet(o.encoding)) {
        const auto encoding = parseEncoding(parser.value(o.encoding));
        if (!encoding)
            return CliRefusal{QStringLiteral("--encoding takes pcm16, ulaw or alaw, not '%1'")
                                  .arg(parser.value(o.encoding))};
        format.encoding = *encoding;
    }
    if (parser.isSet(o.rate)) {
        const auto rate = parseSampleRate(parser.value(o.rate));
        if (!rate)
            return CliRefusal{
                QStringLiteral("--rate takes 8000, 11025, 16000, 22050, 44100 or 48000, not '%1'")
                    .arg(parser.value(o.rate))};
        format.sampleRate = *rate;
    }
    if (parser.isSet(o.level)) {
        const auto level = parseLevel(parser.value(o.level));
        if (!level)
            return CliRefusal{QStringLiteral("--level takes a number of dBFS from -30 to 0, not '%1'")
                                  .arg(parser.value(o.level))};
        format.levelTenths = *level;
    }
    if (parser.isSet(o.baud)) {
        const auto baud = parseBaud(parser.value(o.baud));
        if (!baud)
            return CliRefusal{QStringLiteral("--baud takes 45.45 or 50, not '%1'").arg(parser.value(o.baud))};
        format.baud = *baud;
    }
    return format;
}

std::variant<CliOptions, CliRefusal> parseBatch(const QCommandLineParser& parser, const Options& o)
{
    for (const QCommandLineOption* other :
         {&o.timestamps, &o.baud, &o.unshiftOnSpace, &o.raw, &o.showCommand})
        if (parser.isSet(*other))
            return CliRefusal{
                QStringLiteral("--%1 does not go with --batch").arg(other->names().constFirst())};
    for (const QCommandLineOption* spoken : {&o.voiceBefore, &o.voiceAfter})
        if (parser.isSet(*spoken))
            return CliRefusal{QStringLiteral("--%1 does not go with --batch; give the set's CSV a %2 column")
                                  .arg(spoken->names().constFirst(),
                                       QString(spoken->names().constFirst()).replace(u'-', u'_'))};
    if (!parser.positionalArguments().isEmpty())
        return CliRefusal{
            QStringLiteral("--batch takes its texts from the CSV file, not from the command line")};
    if (!parser.isSet(o.system))
        return CliRefusal{
            QStringLiteral("--batch needs --system: %1").arg(phoneSystemNames().join(QStringLiteral(", ")))};
    if (!parser.isSet(o.output) || parser.value(o.output).isEmpty())
        return CliRefusal{QStringLiteral("--batch needs -o DIR, the folder for the set")};
    const auto format = requestedFormat(parser, o);
    if (const auto* refusal = std::get_if<CliRefusal>(&format))
        return *refusal;
    const auto& asked = std::get<OutputFormat>(format);
    const auto checked = checkedCodecs(parser, o);
    if (const auto* refusal = std::get_if<CliRefusal>(&checked))
        return *refusal;
    CliOptions options;
    options.action = CliOptions::Action::Batch;
    options.checkCodecs = std::get<std::vector<codecs::Codec>>(checked);
    options.csv = parser.value(o.batch);
    options.system = parser.value(o.system);
    options.output = parser.value(o.output);
    if (parser.isSet(o.encoding))
        options.choice.encoding = asked.encoding;
    if (parser.isSet(o.rate))
        options.choice.sampleRate = asked.sampleRate;
    if (parser.isSet(o.level))
        options.choice.levelTenths = asked.levelTenths;
    return options;
}

// A name that says what it holds (headerless or a codec's frames) against an --encoding or --rate
// that says otherwise: a mistake, not a choice.
std::optional<CliRefusal> contradictedByName(const QCommandLineParser& parser, const Options& o,
                                             const CliOptions& options)
{
    if (const auto kind = headerlessKindOf(options.output)) {
        const OutputFormat named = formatForOutput(options.format, options.output);
        if ((parser.isSet(o.encoding) && named.encoding != options.format.encoding) ||
            (parser.isSet(o.rate) && named.sampleRate != options.format.sampleRate))
            return CliRefusal{QStringLiteral("a %1 file is headerless %2 at %3 Hz; leave out --encoding and "
                                             "--rate, or give the output another name")
                                  .arg(kind->extension, encodingKeyword(kind->encoding))
                                  .arg(kind->sampleRate)};
    }
    if (const auto kind = encodedKindOf(options.output)) {
        if ((parser.isSet(o.encoding) && kind->encoding != options.format.encoding) ||
            (parser.isSet(o.rate) && kind->sampleRate != options.format.sampleRate))
            return CliRefusal{
                QStringLiteral("a %1 file holds %2 at %3 Hz; leave out --encoding and --rate, or "
                               "give the output another name")
                    .arg(kind->extension, kind->encoding ? encodingKeyword(*kind->encoding)
                                                         : QStringLiteral("its codec's frames"))
                    .arg(kind->sampleRate)};
    }
    return std::nullopt;
}

std::optional<CliRefusal> readSpokenParts(const QCommandLineParser& parser, const Options& o,
                                          SpokenParts& spoken)
{
    for (const auto& [option, path] :
         {std::pair{&o.voiceBefore, &spoken.before}, std::pair{&o.voiceAfter, &spoken.after}}) {
        if (!parser.isSet(*option))
            continue;
        *path = parser.value(*option);
        if (path->isEmpty())
            return CliRefusal{QStringLiteral("--%1 needs a file name").arg(option->names().constFirst())};
    }
    return std::nullopt;
}

std::variant<CliOptions, CliRefusal> parseConvert(const QCommandLineParser& parser, const Options& o)
{
    if (parser.isSet(o.system))
        return CliRefusal{QStringLiteral("--system goes with --batch")};
    for (const QCommandLineOption* only : {&o.timestamps, &o.unshiftOnSpace, &o.raw})
        if (parser.isSet(*only))
            return CliRefusal{QStringLiteral("--%1 goes with --decode").arg(only->names().constFirst())};
    const auto format = requestedFormat(parser, o);
    if (const auto* refusal = std::get_if<CliRefusal>(&format))
        return *refusal;
    CliOptions options;
    options.format = std::get<OutputFormat>(format);
    if (!parser.isSet(o.output))
        return CliRefusal{QStringLiteral("no output file given; use -o FILE.wav")};
    options.output = parser.value(o.output);
    if (options.output.isEmpty())
        return CliRefusal{QStringLiteral("the output file name is empty")};
    if (auto refusal = contradictedByName(parser, o, options))
        return *refusal;
    if (auto refusal = readSpokenParts(parser, o, options.spoken))
        return *refusal;
    const auto checked = checkedCodecs(parser, o);
    if (const auto* refusal = std::get_if<CliRefusal>(&checked))
        return *refusal;
    options.checkCodecs = std::get<std::vector<codecs::Codec>>(checked);
    options.words = parser.positionalArguments();
    options.showCommand = parser.isSet(o.showCommand);
    return options;
}

// Takes the rule off "--transliterate=RULE" (the parser knows the option only as a switch, so that
// a bare --transliterate never swallows the text after it); text after "--" stays as it is.
std::variant<QStringList, CliRefusal> withoutSpellingRule(QStringList arguments,
                                                          std::optional<SpellingRule>& spelling)
{
    const QString prefix = QStringLiteral("--transliterate=");
    for (qsizetype i = 1; i < arguments.size() && arguments[i] != u"--"; ++i) {
        if (!arguments[i].startsWith(prefix))
            continue;
        const QString word = arguments[i].mid(prefix.size());
        spelling = parseSpellingRule(word);
        if (!spelling)
            return CliRefusal{QStringLiteral("--transliterate takes de, fr, es or en, not '%1'").arg(word)};
        arguments[i] = QStringLiteral("--transliterate");
    }
    return arguments;
}

} // namespace

std::variant<CliOptions, CliRefusal> parseCommandLine(const QStringList& arguments)
{
    const Options o;
    QCommandLineParser parser;
    o.addTo(parser);
    std::optional<SpellingRule> spelling;
    const auto plain = withoutSpellingRule(arguments, spelling);
    if (const auto* refusal = std::get_if<CliRefusal>(&plain))
        return *refusal;
    if (!parser.parse(std::get<QStringList>(plain)))
        return refusalOfUnparsed(parser, arguments);
    CliOptions options;
    if (parser.isSet(o.help)) {
        options.action = CliOptions::Action::Help;
        return options;
    }
    if (parser.isSet(o.version)) {
        options.action = CliOptions::Action::Version;
        return options;
    }
    // Every value is checked before anything is started or touched.
    if (parser.isSet(o.decode) && parser.isSet(o.batch))
        return CliRefusal{QStringLiteral("--decode and --batch do not go together")};
    auto parsed = parser.isSet(o.batch)    ? parseBatch(parser, o)
                  : parser.isSet(o.decode) ? parseDecode(parser, o)
                                           : parseConvert(parser, o);
    if (auto* chosen = std::get_if<CliOptions>(&parsed)) {
        chosen->transliterate = parser.isSet(o.transliterate);
        chosen->spelling = spelling;
    }
    return parsed;
}

QString commandLineHelp()
{
    const Options o;
    QCommandLineParser parser;
    o.addTo(parser);
    return parser.helpText();
}

} // namespace quillfen
