#pragma once

// The tests' own Baudot table, written out apart from src/tty/baudot.h so that a slip in either shows
// against the other. Index: the 5-bit code, first bit sent in bit 0. '_': a shift, or a code that
// prints nothing.

#include <string_view>

namespace quillfen::test {

inline constexpr std::string_view kLetters = "_E_A SIU_DRJNFCKTZLWHYPQOBG_MXV_";
inline constexpr std::string_view kFigures = "_3_- _87_$4',!:(5\")2#6019?&_./;_";
inline constexpr unsigned kLtrs = 0b11111, kFigs = 0b11011, kSpace = 0b00100, kCr = 0b01000, kLf = 0b00010;

} // namespace quillfen::test
