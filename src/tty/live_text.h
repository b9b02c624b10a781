#pragma once

// Live decoding prints each character once, the moment it is read. This turns the decoder's reading so
// far (Decoder::readSoFar) into what is still to print. Std C++ only.

#include "tty/decoder.h"

#include <limits>
#include <string>
#include <vector>

namespace quillfen::tty {

// A piece of live output, in order: a burst begins (at `seconds` into the input), text, a burst ends.
struct LivePiece
{
    enum class Kind { BurstStart, Text, BurstEnd };
    Kind kind = Kind::Text;
    double seconds = 0.0;
    std::string text;
};

// What has been printed so far. A burst is announced with its first printing character, as the bursts
// of a decoded file list only those that print something.
class LiveText
{
public:
    // What `soFar` adds to what was printed before. A character already printed stays as it was, even
    // when a later reading tells it otherwise (the shift chosen over the whole message, a burst read
    // again at another baud): a terminal cannot take it back, and a reader has seen it.
    std::vector<LivePiece> update(const std::vector<BurstSoFar>& soFar);
    // The input has ended: ends a burst that is still open.
    std::vector<LivePiece> finish();
    bool printedAny() const { return m_printedAny; }

private:
    // The time of the latest character printed or passed over (the shifts), and of the latest one on
    // the burst being printed.
    double m_handled = -std::numeric_limits<double>::infinity();
    double m_lineLast = 0.0;
    bool m_lineOpen = false;
    bool m_printedAny = false;
};

} // namespace quillfen::tty
