#pragma once

#include "codecs/codec.h"
#include "conversion/conversion_run.h"
#include "conversion/diagnostic_sink.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <span>
#include <vector>

namespace quillfen {

// What a text telephone prints from a message after one codec has carried it.
struct CodecResult
{
    codecs::Codec codec;
    QString printed;
    double characterErrorRate = 0.0; // against what the text should print, 0 to 1 (or more)
};

struct CodecCheck
{
    QString expected;     // what the text should print
    QString cleanPrinted; // what the message prints before any codec
    QList<CodecResult> results;
};

// Edits (insertions, deletions, substitutions of one character) from `expected` to `heard`, per
// character of `expected`; 0 when both are empty, 1 per character heard when nothing was expected.
double characterErrorRate(const QString& expected, const QString& heard);

// `samples` (16-bit, 8 kHz) through each codec in turn and back, each result decoded.
CodecCheck checkThroughCodecs(std::span<const std::int16_t> samples, const QString& expected,
                              std::span<const codecs::Codec> codecs);

// The check as the command line runs it: each message joined again, at 8 kHz in 16-bit (the audio
// every codec here takes) at the level asked for, in a folder of its own that goes with the run.
// Files the user asked for are never read or touched.
class CodecCheckRun
{
public:
    // `programDir` holds wavcat and the prompt set; empty means the running program's directory.
    explicit CodecCheckRun(QString programDir = {});

    // Throws AppError when the message cannot be joined or read back.
    CodecCheck check(const QString& text, int levelTenths, std::span<const codecs::Codec> codecs);

private:
    class QuietSink final : public DiagnosticSink
    {
    public:
        void clearDiagnostics() override {}
        void DiagOutput(const QString&) override {}
    };

    QString m_programDir;
    QuietSink m_quiet;
    ConversionRun m_conversion{m_quiet, m_programDir};
};

} // namespace quillfen
