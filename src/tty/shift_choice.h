#pragma once

// Which shift each received character prints in, chosen over the whole message. Std C++ only.

#include <span>
#include <string>
#include <vector>

namespace quillfen::tty {

// One received character as the choice weighs it: its 5-bit code and two log-likelihoods (nats), that
// of its least certain data bit and that of any one bit at its burst's level being flipped by noise.
struct HeardCode
{
    unsigned code = 0;
    float weakestBitLlr = 0.0F;
    float bitErrorLlr = 0.0F;
};

// What each character prints, in order: a letter, figure or space, "\n" for CR (and for LF but after
// CR), "" for the shifts and codes that print nothing. Shifts hold until LTRS or FIGS, or until a
// space when `unshiftOnSpace`; unless it is set, a message that reads better as from a sender counting
// on unshift-on-space is read that way. A shift that looks misheard (what follows reads far more like
// the other shift: English letters against numbers) is overruled at the cost of the bits that would
// have to be wrong, which at a clear signal never pays.
std::vector<std::string> printHeard(std::span<const HeardCode> heard, bool unshiftOnSpace);

} // namespace quillfen::tty
