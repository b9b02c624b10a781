#pragma once

#include <QString>

#include <cstdint>
#include <functional>

namespace quillfen {

// The Baudot shift in force between characters.
enum ShiftStateValue : std::int16_t {
    ShiftLetters = 0, // the last shift prompt written was LTRS
    ShiftFigures = 1, // the last shift prompt written was FIGS
    ShiftNone = 2,    // no shift in force: the next letter or figure gets its shift prompt
};

using TextSink = std::function<void(const QString&)>;

struct MappingResult
{
    QString newText;            // every character that received a prompt, in order
    ShiftStateValue shiftState; // as left after the last character
};

// Walks the prepared text (upper-cased, CR LF already spaces) and hands each prompt file name to
// `addPrompt` and each diagnostic line to `diagOutput` the moment it is produced, closing shift
// included. A character outside the Basic Multilingual Plane counts as one character.
MappingResult mapTextToPrompts(const QString& prepared, ShiftStateValue shiftState, const TextSink& addPrompt,
                               const TextSink& diagOutput);

// Membership ignores case and width: U+FF21 (full-width A) is a member of the letter set.
bool isInLetterSet(char32_t c);
bool isInFigureSet(char32_t c);
bool isBlankChar(char32_t c);

// Exact lookup of an already lower-cased character; empty when no prompt exists for it.
QString promptFileFor(char32_t lowered);

// Upper-cases one character at a time, so the text keeps its length ("ß" stays "ß").
QString upperCasedText(const QString& text);

} // namespace quillfen
