// --check-codec and the encoded output names as the parser reads them: the codecs each accepted line
// checks through, and the line each refused one prints.
#include "cli/command_line.h"

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

// The action, the codecs in order and the format; a refusal as "refused: " and its message.
QString described(const std::variant<CliOptions, CliRefusal>& parsed)
{
    if (const auto* refusal = std::get_if<CliRefusal>(&parsed))
        return QStringLiteral("refused: ") + refusal->message;
    const CliOptions& o = std::get<CliOptions>(parsed);
    QStringList codecs;
    for (const codecs::Codec codec : o.checkCodecs)
        codecs << QString::fromLatin1(codecs::codecInfo(codec).name.data());
    return QStringLiteral("%1 [%2] %3 %4 Hz")
        .arg(o.action == CliOptions::Action::Batch ? "batch" : "convert", codecs.join(','),
             encodingKeyword(o.format.encoding))
        .arg(o.format.sampleRate);
}

} // namespace

TEST(CodecOptions, checkCodecTakesAListOnConversionsAndSets_andEncodedNamesRefuseAContradiction)
{
    const struct
    {
        std::initializer_list<const char*> args;
        const char* result;
    } cases[] = {
        {{"--check-codec", "gsm", "-o", "x.wav", "HI"}, "convert [gsm] pcm16 8000 Hz"},
        {{"--check-codec", "G722, opus,gsm,g722", "-o", "x.ulaw", "HI"},
         "convert [g722,opus,gsm] pcm16 8000 Hz"},
        {{"--batch", "s.csv", "--system", "asterisk", "--check-codec", "amr,g726,g729", "-o", "d"},
         "batch [amr,g726,g729] pcm16 8000 Hz"},
        {{"-o", "x.wav", "HI"}, "convert [] pcm16 8000 Hz"},
        {{"--check-codec", "gsm,mp3", "-o", "x.wav", "HI"},
         "refused: --check-codec takes a list of gsm, g729, amr, opus, g722 and g726, not 'mp3'"},
        {{"--check-codec", "", "-o", "x.wav", "HI"},
         "refused: --check-codec takes a list of gsm, g729, amr, opus, g722 and g726, not ''"},
        {{"--batch", "s.csv", "--system", "wav", "--check-codec", "g.711", "-o", "d"},
         "refused: --check-codec takes a list of gsm, g729, amr, opus, g722 and g726, not 'g.711'"},
        {{"--decode", "--check-codec", "gsm", "x.wav"},
         "refused: --check-codec goes with a conversion or --batch, not with --decode"},
        // What an encoded name holds may be repeated, never contradicted.
        {{"--encoding", "ulaw", "--rate", "8000", "-o", "x.PCMU", "HI"}, "convert [] ulaw 8000 Hz"},
        {{"--rate", "16000", "-o", "x.g722", "HI"}, "convert [] pcm16 16000 Hz"},
        {{"--rate", "16000", "--encoding", "pcm16", "-o", "x.Wav16", "HI"}, "convert [] pcm16 16000 Hz"},
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
        {{"--rate", "16000", "-o", "x.g729", "HI"},
         "refused: a .g729 file holds its codec's frames at 8000 Hz; leave out --encoding and --rate, or "
         "give the output another name"},
    };
    for (const auto& c : cases) {
        QStringList arguments{"quillfen-cli"};
        for (const char* a : c.args)
            arguments << QString::fromUtf8(a);
        SCOPED_TRACE(arguments.join(' ').toStdString());
        EXPECT_EQ(described(parseCommandLine(arguments)).toStdString(), c.result);
    }
}
