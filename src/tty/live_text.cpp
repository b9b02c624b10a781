#include "tty/live_text.h"

#include <utility>

namespace quillfen::tty {
namespace {

// Characters start at least 7 bits (140 ms at 50 baud) apart, and a burst read again moves them by a
// few milliseconds: within half that spacing of a printed character lies that same character.
constexpr double kSameCharacter = 0.07;

} // namespace

std::vector<LivePiece> LiveText::update(const std::vector<BurstSoFar>& soFar)
{
    std::vector<LivePiece> out;
    for (const BurstSoFar& burst : soFar) {
        for (const HeardCharacter& c : burst.characters) {
            if (c.seconds <= m_handled + kSameCharacter)
                continue;
            m_handled = c.seconds;
            if (c.text.empty())
                continue;
            // Bursts do not overlap: one that starts after the line's last character is another.
            if (m_lineOpen && burst.startSeconds > m_lineLast + kSameCharacter) {
                out.push_back({LivePiece::Kind::BurstEnd, 0.0, {}});
                m_lineOpen = false;
            }
            if (!std::exchange(m_lineOpen, true))
                out.push_back({LivePiece::Kind::BurstStart, burst.startSeconds, {}});
            out.push_back({LivePiece::Kind::Text, c.seconds, c.text});
            m_lineLast = c.seconds;
            m_printedAny = true;
        }
        // The burst on the line, read to its end: nothing more can join it.
        const bool holdsLine = m_lineOpen && !burst.characters.empty() &&
                               burst.startSeconds <= m_lineLast + kSameCharacter &&
                               burst.characters.back().seconds >= m_lineLast - kSameCharacter &&
                               burst.characters.back().seconds <= m_handled + kSameCharacter;
        if (holdsLine && !burst.open) {
            out.push_back({LivePiece::Kind::BurstEnd, 0.0, {}});
            m_lineOpen = false;
        }
    }
    return out;
}

std::vector<LivePiece> LiveText::finish()
{
    if (!std::exchange(m_lineOpen, false))
        return {};
    return {{LivePiece::Kind::BurstEnd, 0.0, {}}};
}

} // namespace quillfen::tty
