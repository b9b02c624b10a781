// quillfen-cli's options as the parser reads them: what each accepted line asks for, and the exact
// line each refused one prints. The program runs only what the parser returns.
#include "cli/command_line.h"

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

QString baudName(tty::BaudRate baud)
{
    switch (baud) {
    case tty::BaudRate::Baud45:
        return QStringLiteral("45.45");
    case tty::BaudRate::Baud50:
        return QStringLiteral("50");
    case tty::BaudRate::Auto:
        break;
    }
    return QStringLiteral("auto");
}

QString ruleName(const std::optional<SpellingRule>& rule)
{
    if (!rule)
        return QStringLiteral("own");
    switch (*rule) {
    case SpellingRule::German:
        return QStringLiteral("de");
    case SpellingRule::French:
        return QStringLiteral("fr");
    case SpellingRule::Spanish:
        return QStringLiteral("es");
    case SpellingRule::English:
        break;
    }
    return QStringLiteral("en");
}

// What a conversion or a set adds to the standard: a spelling rule and the codecs it checks through.
QString extras(const CliOptions& o)
{
    QStringList codecs;
    for (const codecs::Codec codec : o.checkCodecs)
        codecs << QString::fromLatin1(codecs::codecInfo(codec).name.data());
    return (o.transliterate ? QStringLiteral(" spelt ") + ruleName(o.spelling) : QString()) +
           (codecs.isEmpty() ? QString() : QStringLiteral(" check ") + codecs.join(QLatin1Char(',')));
}

// Everything the program acts on, in one line; a refusal as "refused: " and its message.
QString described(const std::variant<CliOptions, CliRefusal>& parsed)
{
    if (const auto* refusal = std::get_if<CliRefusal>(&parsed))
        return QStringLiteral("refused: ") + refusal->message;
    const CliOptions& o = std::get<CliOptions>(parsed);
    const QString words = QLatin1Char('[') + o.words.join(QLatin1Char('|')) + QLatin1Char(']');
    switch (o.action) {
    case CliOptions::Action::Help:
        return QStringLiteral("help");
    case CliOptions::Action::Version:
        return QStringLiteral("version");
    case CliOptions::Action::Decode:
        return QStringLiteral("decode %1 baud %2%3%4%5")
            .arg(words, baudName(o.decode.baud),
                 o.decode.unshiftOnSpace ? QStringLiteral(" unshift-on-space") : QString(),
                 o.timestamps ? QStringLiteral(" timestamps") : QString(),
                 !o.live                 ? QString()
                 : o.stream.rawRate == 0 ? QStringLiteral(" live WAV")
                                         : QStringLiteral(" live raw %1 Hz %2")
                                               .arg(o.stream.rawRate)
                                               .arg(encodingKeyword(o.stream.rawEncoding)));
    case CliOptions::Action::Batch:
        return QStringLiteral("batch '%1' for %2 to '%3'%4%5%6%7")
            .arg(o.csv, o.system, o.output,
                 o.choice.encoding ? QStringLiteral(" ") + encodingKeyword(*o.choice.encoding) : QString(),
                 o.choice.sampleRate ? QStringLiteral(" %1 Hz").arg(*o.choice.sampleRate) : QString(),
                 o.choice.levelTenths ? QStringLiteral(" %1 dBFS").arg(levelText(*o.choice.levelTenths))
                                      : QString(),
                 extras(o));
    case CliOptions::Action::Convert:
        break;
    }
    // The baud only when it is not the standard 45.45.
    return QStringLiteral("convert %1 to '%2' %3 %4 Hz %5 dBFS%6%7%8")
        .arg(words, o.output, encodingKeyword(o.format.encoding))
        .arg(o.format.sampleRate)
        .arg(levelText(o.format.levelTenths), o.showCommand ? QStringLiteral(" show-command") : QString(),
             o.format.baud == LineBaud::Baud45 ? QString()
                                               : QStringLiteral(" %1 baud").arg(baudKeyword(o.format.baud)),
             extras(o));
}

struct Case
{
    std::initializer_list<const char*> args;
    const char* result;
};

void expectParsed(const Case& c)
{
    QStringList args{QStringLiteral("quillfen-cli")};
    for (const char* a : c.args)
        args << QString::fromUtf8(a);
    SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
    EXPECT_EQ(described(parseCommandLine(args)).toStdString(), c.result);
}

} // namespace

TEST(CommandLineParser, acceptedLinesAskForWhatTheySay)
{
    const Case cases[] = {
        {{"HI", "5", "-o", "x.wav"}, "convert [HI|5] to 'x.wav' pcm16 8000 Hz -10.0 dBFS"},
        {{"--output", "dir/x.wav"}, "convert [] to 'dir/x.wav' pcm16 8000 Hz -10.0 dBFS"},
        {{"-o", "rel.wav", "--", "-5", "--decode"},
         "convert [-5|--decode] to 'rel.wav' pcm16 8000 Hz -10.0 dBFS"},
        {{"--encoding", "alaw", "--rate", "48000", "--level", "-12.5", "--show-command", "-o", "y.wav", "A"},
         "convert [A] to 'y.wav' alaw 48000 Hz -12.5 dBFS show-command"},
        // Options that agree with a headerless name, and a level, which no name fixes.
        {{"--encoding", "ulaw", "--rate", "8000", "--level", "-12", "-o", "x.ul", "HI"},
         "convert [HI] to 'x.ul' ulaw 8000 Hz -12.0 dBFS"},
        {{"--level", "0", "-o", "z.SLN16", "A"}, "convert [A] to 'z.SLN16' pcm16 8000 Hz 0.0 dBFS"},
        {{"--decode", "a.wav", "b.wav"}, "decode [a.wav|b.wav] baud auto"},
        {{"--decode", "--timestamps", "--baud", "45.45", "--unshift-on-space", "a.wav"},
         "decode [a.wav] baud 45.45 unshift-on-space timestamps"},
        {{"--baud", "45", "--decode", "a.wav"}, "decode [a.wav] baud 45.45"},
        {{"--decode", "--baud", "50", "--", "-a.wav"}, "decode [-a.wav] baud 50"},
        {{"--decode", "--timestamps", "-"}, "decode [-] baud auto timestamps live WAV"},
        {{"--decode", "--raw", "8000", "--encoding", "ulaw", "-"},
         "decode [-] baud auto live raw 8000 Hz ulaw"},
        {{"--decode", "--raw", "192000", "-"}, "decode [-] baud auto live raw 192000 Hz pcm16"},
        {{"--batch", "set.csv", "--system", "asterisk", "-o", "out"},
         "batch 'set.csv' for asterisk to 'out'"},
        {{"--batch", "s.csv", "--system", "avaya", "--encoding", "alaw", "--level", "-12", "-o", "d"},
         "batch 's.csv' for avaya to 'd' alaw -12.0 dBFS"},
        // A conversion's speed, spelling and codec check; what an encoded name holds may be repeated.
        {{"--baud", "50", "-o", "k.ulaw", "HI"}, "convert [HI] to 'k.ulaw' pcm16 8000 Hz -10.0 dBFS 50 baud"},
        {{"--baud=45.45", "--transliterate", "-o", "k.wav", "Grüße"},
         "convert [Grüße] to 'k.wav' pcm16 8000 Hz -10.0 dBFS spelt own"},
        {{"-o", "k.wav", "--transliterate=fr", "--baud", "50", "HI"},
         "convert [HI] to 'k.wav' pcm16 8000 Hz -10.0 dBFS 50 baud spelt fr"},
        {{"--transliterate=de", "-o", "k.wav"}, "convert [] to 'k.wav' pcm16 8000 Hz -10.0 dBFS spelt de"},
        {{"--transliterate=es", "-o", "k.wav"}, "convert [] to 'k.wav' pcm16 8000 Hz -10.0 dBFS spelt es"},
        {{"--transliterate=en", "-o", "k.wav"}, "convert [] to 'k.wav' pcm16 8000 Hz -10.0 dBFS spelt en"},
        {{"-o", "k.wav", "--", "--transliterate=de"},
         "convert [--transliterate=de] to 'k.wav' pcm16 8000 Hz -10.0 dBFS"},
        {{"--check-codec", "G722, opus,gsm,g722", "-o", "x.ulaw", "HI"},
         "convert [HI] to 'x.ulaw' pcm16 8000 Hz -10.0 dBFS check g722,opus,gsm"},
        {{"--encoding", "ulaw", "--rate", "8000", "-o", "x.PCMU", "HI"},
         "convert [HI] to 'x.PCMU' ulaw 8000 Hz -10.0 dBFS"},
        {{"--rate", "16000", "-o", "x.g722", "HI"}, "convert [HI] to 'x.g722' pcm16 16000 Hz -10.0 dBFS"},
        {{"--rate", "16000", "--encoding", "pcm16", "-o", "x.Wav16", "HI"},
         "convert [HI] to 'x.Wav16' pcm16 16000 Hz -10.0 dBFS"},
        {{"--batch", "s.csv", "--system", "wav", "--transliterate=de", "--check-codec", "amr,g726,g729", "-o",
          "d"},
         "batch 's.csv' for wav to 'd' spelt de check amr,g726,g729"},
        {{"--help"}, "help"},
        {{"-h", "--version", "--decode"}, "help"},
        {{"--version", "--level", "loud"}, "version"},
    };
    for (const Case& c : cases)
        expectParsed(c);
}

TEST(CommandLineParser, refusedLinesSayWhyInOneLine)
{
    const char* const decodeWrites = "refused: --decode reads files and writes none; leave out -o, "
                                     "--show-command, --encoding, --rate and --level";
    const Case cases[] = {
        {{"HI"}, "refused: no output file given; use -o FILE.wav"},
        {{"--batch", "s.csv", "-o", "d"},
         "refused: --batch needs --system: asterisk, freeswitch, cisco, avaya, teams, 3cx, wav"},
        {{"--batch", "s.csv", "--system", "wav"}, "refused: --batch needs -o DIR, the folder for the set"},
        {{"--batch", "s.csv", "--system", "wav", "-o", "d", "HI"},
         "refused: --batch takes its texts from the CSV file, not from the command line"},
        {{"--batch", "s.csv", "--system", "wav", "--timestamps", "-o", "d"},
         "refused: --timestamps does not go with --batch"},
        {{"--batch", "s.csv", "--decode", "a.wav"}, "refused: --decode and --batch do not go together"},
        {{"--system", "wav", "-o", "k.wav", "HI"}, "refused: --system goes with --batch"},
        {{"--", "-o", "x.wav"}, "refused: no output file given; use -o FILE.wav"},
        {{"HI", "-o", ""}, "refused: the output file name is empty"},
        {{"--bogus", "-o", "k.wav"},
         "refused: unknown option --bogus; put -- before text that starts with '-'"},
        {{"-5", "-o", "k.wav"}, "refused: unknown option -5; put -- before text that starts with '-'"},
        {{"--decode", "--bogus", "a.wav"},
         "refused: unknown option --bogus; put -- before text that starts with '-'"},
        {{"HI", "-o"}, "refused: -o needs a value; see --help"},
        {{"--decode", "a.wav", "--baud"}, "refused: --baud needs a value; see --help"},
        {{"--decode=yes", "a.wav"}, "refused: Unexpected value after '--decode'. See --help."},
        {{"--decode"}, "refused: --decode needs at least one file"},
        {{"--decode", "--baud", "47", "a.wav"}, "refused: --baud takes 45.45 or 50, not '47'"},
        {{"--decode", "-o", "k.wav", "a.wav"}, decodeWrites},
        {{"--decode", "--show-command", "a.wav"}, decodeWrites},
        {{"--decode", "--encoding", "ulaw", "a.wav"}, decodeWrites},
        {{"--decode", "--rate", "8000", "a.wav"}, decodeWrites},
        {{"--decode", "--level", "-10", "a.wav"}, decodeWrites},
        {{"--decode", "--encoding", "ulaw", "-"}, decodeWrites},
        {{"--decode", "-", "a.wav"}, "refused: --decode - reads standard input alone; give no files with it"},
        {{"--decode", "--raw", "8000", "a.wav"},
         "refused: --raw describes standard input; use it with --decode -"},
        {{"--decode", "--raw", "7999", "-"},
         "refused: --raw takes a sample rate in Hz from 8000 to 192000, not '7999'"},
        {{"--decode", "--raw", "+8000", "-"},
         "refused: --raw takes a sample rate in Hz from 8000 to 192000, not '+8000'"},
        {{"--decode", "--raw", "8000", "--encoding", "gsm", "-"},
         "refused: --encoding takes pcm16, ulaw or alaw, not 'gsm'"},
        {{"--raw", "8000", "-o", "k.wav", "HI"}, "refused: --raw goes with --decode"},
        {{"--timestamps", "-o", "k.wav", "HI"}, "refused: --timestamps goes with --decode"},
        {{"--unshift-on-space", "-o", "k.wav", "HI"}, "refused: --unshift-on-space goes with --decode"},
        {{"--encoding", "mulaw", "-o", "k.wav", "HI"},
         "refused: --encoding takes pcm16, ulaw or alaw, not 'mulaw'"},
        {{"--rate", "9600", "-o", "k.wav", "HI"},
         "refused: --rate takes 8000, 11025, 16000, 22050, 44100 or 48000, not '9600'"},
        {{"--level", "loud", "-o", "k.wav", "HI"},
         "refused: --level takes a number of dBFS from -30 to 0, not 'loud'"},
        // A headerless name says its own encoding and rate; a contradicting option is refused.
        {{"--encoding", "pcm16", "-o", "f.ulaw", "HI"},
         "refused: a .ulaw file is headerless ulaw at 8000 Hz; leave out --encoding and --rate, or give "
         "the output another name"},
        {{"--rate", "8000", "-o", "dir/f.SLN16", "HI"},
         "refused: a .sln16 file is headerless pcm16 at 16000 Hz; leave out --encoding and --rate, or "
         "give the output another name"},
        {{"--baud", "49", "-o", "k.wav", "HI"}, "refused: --baud takes 45.45 or 50, not '49'"},
        {{"--batch", "s.csv", "--system", "wav", "--baud", "50", "-o", "d"},
         "refused: --baud does not go with --batch"},
        {{"--transliterate=it", "-o", "k.wav", "HI"},
         "refused: --transliterate takes de, fr, es or en, not 'it'"},
        {{"--transliterate=DE", "-o", "k.wav", "HI"},
         "refused: --transliterate takes de, fr, es or en, not 'DE'"},
        {{"--decode", "--transliterate", "a.wav"},
         "refused: --transliterate goes with a conversion or --batch, not --decode"},
        {{"--check-codec", "gsm,mp3", "-o", "x.wav", "HI"},
         "refused: --check-codec takes a list of gsm, g729, amr, opus, g722 and g726, not 'mp3'"},
        {{"--check-codec", "", "-o", "x.wav", "HI"},
         "refused: --check-codec takes a list of gsm, g729, amr, opus, g722 and g726, not ''"},
        {{"--batch", "s.csv", "--system", "wav", "--check-codec", "g.711", "-o", "d"},
         "refused: --check-codec takes a list of gsm, g729, amr, opus, g722 and g726, not 'g.711'"},
        {{"--decode", "--check-codec", "gsm", "x.wav"},
         "refused: --check-codec goes with a conversion or --batch, not with --decode"},
        // An encoded name's content may not be contradicted either, a codec's frames included.
        {{"--encoding", "alaw", "-o", "x.pcmu", "HI"},
         "refused: a .pcmu file holds ulaw at 8000 Hz; leave out --encoding and --rate, or give the output "
         "another name"},
        {{"--rate", "8000", "-o", "x.wav16", "HI"},
         "refused: a .wav16 file holds pcm16 at 16000 Hz; leave out --encoding and --rate, or give the "
         "output another name"},
        {{"--rate", "8000", "-o", "x.g722", "HI"},
         "refused: a .g722 file holds its codec's frames at 16000 Hz; leave out --encoding and --rate, or "
         "give the output another name"},
        {{"--encoding", "pcm16", "-o", "x.GSM", "HI"},
         "refused: a .gsm file holds its codec's frames at 8000 Hz; leave out --encoding and --rate, or "
         "give the output another name"},
        // Which of several faults is named: decoding-only options first, then the values, then
        // the output.
        {{"--timestamps", "--encoding", "mulaw"}, "refused: --timestamps goes with --decode"},
        {{"--level", "loud", "--rate", "9600", "HI"},
         "refused: --rate takes 8000, 11025, 16000, 22050, 44100 or 48000, not '9600'"},
        {{"--rate", "16000", "HI"}, "refused: no output file given; use -o FILE.wav"},
    };
    for (const Case& c : cases)
        expectParsed(c);
}
