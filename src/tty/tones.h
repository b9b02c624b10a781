#pragma once

// The tones and rates of the TTY line, shared by the prompt generator and the decoder. Std C++ only.

namespace quillfen::tty {

inline constexpr int kMarkHz = 1400;  // a 1 bit, the stop bits and the idle line
inline constexpr int kSpaceHz = 1800; // a 0 bit and the start bit

inline constexpr double kBaud45 = 45.45; // the US rate
inline constexpr double kBaud50 = 50.0;  // the rate of senders elsewhere
// One bit at 45.45 baud as senders time it: 22 ms.
inline constexpr int kBit45Microseconds = 22000;
// One bit at 50 baud: 20 ms.
inline constexpr int kBit50Microseconds = 20000;

} // namespace quillfen::tty
