#pragma once

#include "codecs/codec.h"
#include "conversion/output_format.h"
#include "conversion/phone_systems.h"
#include "conversion/spoken_part.h"
#include "conversion/stream_decoder.h"
#include "conversion/transliteration.h"
#include "conversion/tty_decoder.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

namespace quillfen {

// What quillfen-cli was asked to do, every value already checked.
struct CliOptions
{
    enum class Action { Convert, Decode, Batch, Help, Version };

    Action action = Action::Convert;
    // Convert: the words of the text (none: read standard input); Decode: the files to read.
    QStringList words;

    // Convert
    QString output; // as the user wrote it, relative to where they are
    OutputFormat format;
    bool showCommand = false;
    SpokenParts spoken; // recordings around the tones, as the user wrote them

    // Convert and Batch: spell what a text telephone cannot print in plain letters, by `spelling`,
    // or by the user's own language when none was named.
    bool transliterate = false;
    std::optional<SpellingRule> spelling;

    // Decode
    tty::DecodeOptions decode;
    bool timestamps = false;
    // "-" as the one file: standard input, decoded live as it arrives, laid out as `stream` says.
    bool live = false;
    tty::StreamFormat stream;

    // Batch: the set's CSV, the phone system, and the choices it leaves open; `output` is the folder.
    QString csv;
    QString system;
    FormatChoice choice;

    // Convert and Batch: the codecs each message is checked through after the files are written.
    std::vector<codecs::Codec> checkCodecs;
};

// A command line the program refuses, and why, in one line for "quillfen-cli: ...".
struct CliRefusal
{
    QString message;
};

// `arguments` as the program receives them, its own name first. Nothing is read, run or touched.
std::variant<CliOptions, CliRefusal> parseCommandLine(const QStringList& arguments);

// What --help prints.
QString commandLineHelp();

} // namespace quillfen
