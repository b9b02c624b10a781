// What live decoding prints from the decoder's successive readings: each character once, as first
// read, and a burst announced with its first printing character and ended once.
#include "tty/live_text.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace quillfen::tty;

namespace {

// Pieces as one line: "[1.5]" a burst starting at 1.5 s, its text, "|" its end.
std::string shown(const std::vector<LivePiece>& pieces)
{
    std::string out;
    for (const LivePiece& p : pieces) {
        if (p.kind == LivePiece::Kind::BurstStart) {
            char start[32];
            std::snprintf(start, sizeof start, "[%.1f]", p.seconds);
            out += start;
        } else {
            out += p.kind == LivePiece::Kind::Text ? p.text : "|";
        }
    }
    return out;
}

struct Case
{
    const char* what;
    std::vector<std::vector<BurstSoFar>> readings; // one after the other
    const char* printed;                           // finish() included
};

} // namespace

TEST(LiveText, printsEachCharacterOnceAsFirstReadAndEachBurstOnItsOwn)
{
    const Case cases[] = {
        {"a character read again otherwise stays as printed",
         {{{0.0, true, {{0.1, "1"}}}}, {{0.0, true, {{0.1, "Q"}, {0.25, "W"}}}}},
         "[0.0]1W|"},
        {"the same character a few milliseconds later is not printed twice",
         {{{0.0, true, {{0.100, "A"}}}}, {{0.0, true, {{0.104, "A"}, {0.25, "B"}}}}},
         "[0.0]AB|"},
        {"a character found before those printed is passed over",
         {{{0.4, true, {{0.5, "B"}}}}, {{0.2, true, {{0.35, "A"}, {0.5, "B"}, {0.65, "C"}}}}},
         "[0.4]BC|"},
        {"shifts alone open no burst",
         {{{0.0, false, {{0.1, ""}}}}, {{0.0, false, {{0.1, ""}}}, {2.0, true, {{2.1, ""}, {2.3, "X"}}}}},
         "[2.0]X|"},
        {"a closed burst ends its line before the next begins",
         {{{0.0, true, {{0.1, "A"}}}}, {{0.0, false, {{0.1, "A"}}}, {3.0, true, {{3.1, "B"}}}}},
         "[0.0]A|[3.0]B|"},
        {"a burst after the line ends it even when its own end was not seen",
         {{{0.0, true, {{0.1, "A"}}}}, {{3.0, true, {{3.1, "B"}}}}},
         "[0.0]A|[3.0]B|"},
        {"an earlier closed burst does not end the line of a later one",
         {{{0.0, false, {{0.1, "A"}}}},
          {{0.0, false, {{0.1, "A"}}}, {3.0, true, {{3.1, "B"}}}},
          {{0.0, false, {{0.1, "A"}}}, {3.0, true, {{3.1, "B"}, {3.25, "C"}}}}},
         "[0.0]A|[3.0]BC|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LiveText live;
        std::vector<LivePiece> pieces;
        for (const auto& reading : c.readings)
            for (LivePiece& p : live.update(reading))
                pieces.push_back(std::move(p));
        for (LivePiece& p : live.finish())
            pieces.push_back(std::move(p));
        EXPECT_EQ(shown(pieces), c.printed);
        EXPECT_TRUE(live.printedAny());
    }
}
