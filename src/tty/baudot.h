#pragma once

// The 5-bit Baudot code a TTY sends: one table for the prompt generator, the decoder and anything else
// that needs it. Std C++ only.

#include <array>
#include <stdexcept>

namespace quillfen::tty {

// Codes with the first bit on the line in bit 0, so E = 00001 arrives as 1, 0, 0, 0, 0.
inline constexpr unsigned kLtrs = 0b11111, kFigs = 0b11011, kSpace = 0b00100, kCr = 0b01000, kLf = 0b00010;
inline constexpr unsigned kCodes = 32;

struct BaudotCharacter
{
    unsigned code; // most significant bit first, as tables list them
    char letter;
    char figure; // '\0': the bell, which prints nothing
};

inline constexpr std::array<BaudotCharacter, 26> kBaudotCharacters{{
    {0b00011, 'A', '-'}, {0b11001, 'B', '?'}, {0b01110, 'C', ':'}, {0b01001, 'D', '$'},  {0b00001, 'E', '3'},
    {0b01101, 'F', '!'}, {0b11010, 'G', '&'}, {0b10100, 'H', '#'}, {0b00110, 'I', '8'},  {0b01011, 'J', '\''},
    {0b01111, 'K', '('}, {0b10010, 'L', ')'}, {0b11100, 'M', '.'}, {0b01100, 'N', ','},  {0b11000, 'O', '9'},
    {0b10110, 'P', '0'}, {0b10111, 'Q', '1'}, {0b01010, 'R', '4'}, {0b00101, 'S', '\0'}, {0b10000, 'T', '5'},
    {0b00111, 'U', '7'}, {0b11110, 'V', ';'}, {0b10011, 'W', '2'}, {0b11101, 'X', '/'},  {0b10101, 'Y', '6'},
    {0b10001, 'Z', '"'},
}};

// What each code prints in either shift; '\0' where it prints nothing.
struct ShiftTables
{
    std::array<char, kCodes> letters{}, figures{};
};

inline constexpr ShiftTables kShiftTables = [] {
    ShiftTables t;
    for (const BaudotCharacter& c : kBaudotCharacters) {
        t.letters[c.code] = c.letter;
        t.figures[c.code] = c.figure;
    }
    return t;
}();

// The code of an upper-case letter, or of a figure-shift character. Evaluated at compile time, a
// character outside the table does not compile.
constexpr unsigned letterCode(char letter)
{
    for (const BaudotCharacter& c : kBaudotCharacters)
        if (c.letter == letter)
            return c.code;
    throw std::invalid_argument("not a Baudot letter");
}

constexpr unsigned figureCode(char figure)
{
    for (const BaudotCharacter& c : kBaudotCharacters)
        if (figure != '\0' && c.figure == figure)
            return c.code;
    throw std::invalid_argument("not a Baudot figure");
}

} // namespace quillfen::tty
