#pragma once

#include "conversion/output_format.h"
#include "conversion/phone_systems.h"
#include "conversion/stream_decoder.h"
#include "conversion/tty_decoder.h"

#include <QString>
#include <QStringList>

#include <variant>

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
