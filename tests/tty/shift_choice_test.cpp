#include "support/baudot_table.h"
#include "tty/shift_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quillfen::test;

namespace {

unsigned letter(char c)
{
    return static_cast<unsigned>(kLetters.find(c));
}
unsigned figure(char c)
{
    return static_cast<unsigned>(kFigures.find(c));
}

// What the characters print, one after the other, each heard as clearly as `llr` says (nats: the
// weakest bit's and a bit error's log-likelihood alike).
std::string printed(const std::vector<unsigned>& codes, float llr, bool unshiftOnSpace = false)
{
    std::vector<quillfen::tty::HeardCode> heard;
    for (unsigned code : codes)
        heard.push_back({code, llr, llr});
    std::string out;
    for (const std::string& s : quillfen::tty::printHeard(heard, unshiftOnSpace))
        out += s;
    return out;
}

// Each character by its own row of the table, shifts only where `~` (FIGS) and `^` (LTRS) stand.
std::vector<unsigned> codes(const std::string& text)
{
    std::vector<unsigned> out;
    for (char c : text) {
        if (c == '~' || c == '^')
            out.push_back(c == '~' ? kFigs : kLtrs);
        else
            out.push_back(kLetters.find(c) != std::string::npos ? letter(c) : figure(c));
    }
    return out;
}

constexpr float kClear = 30.0F, kNoisy = 3.0F;

} // namespace

// Which shift each character prints in is chosen over the whole message: at a clear signal exactly
// as the shifts say; in noise a lost or false shift gives way to what the rest reads like.
TEST(ShiftChoice, eachCharacterPrintsInTheShiftTheWholeMessageSupports)
{
    const struct
    {
        const char* name;
        std::vector<unsigned> codes;
        float llr;
        bool unshiftOnSpace;
        const char* printed;
    } cases[] = {
        {"a shift holds past a space", codes("~1 1^Q"), kClear, false, "1 1Q"},
        {"unless space unshifts", codes("~1 1^Q"), kClear, true, "1 QQ"},
        {"CR LF is one line break, LF alone one too, code 0 nothing",
         {kFigs, figure('5'), kCr, kLf, figure('5'), 0, kLf},
         kClear,
         false,
         "5\n5\n"},
        {"a sender counting on unshift-on-space is read its way", codes("^AT ~10 OR ~11 CALL"), kClear, false,
         "AT 10 OR 11 CALL"},
        {"a FIGS heard clearly holds, past spaces", codes("^PLEASE CALL ~BACK TOMORROW"), kClear, false,
         "PLEASE CALL ?-:( 59.94492"},
        {"the same FIGS in noise is taken for misheard", codes("^PLEASE CALL ~BACK TOMORROW"), kNoisy, false,
         "PLEASE CALL BACK TOMORROW"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(printed(c.codes, c.llr, c.unshiftOnSpace), c.printed);
    }
}
