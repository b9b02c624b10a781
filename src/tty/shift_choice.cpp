#include "tty/shift_choice.h"

#include "tty/baudot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <utility>

namespace quillfen::tty {
namespace {

// What letters in a message look like: pairs of letters (and word starts and ends) counted in a few
// lines of everyday English. Figures: digits above all, then the separators of numbers, times and
// prices; the rest of the figure row is rare. Only the contrast between the two matters.
constexpr std::string_view kEnglish =
    "HELLO THIS IS THE FRONT DESK HOW CAN I HELP YOU TODAY GA I AM CALLING ABOUT MY APPOINTMENT NEXT "
    "WEEK COULD YOU PLEASE TELL ME WHEN IT STARTS AND WHERE I SHOULD GO WHEN I ARRIVE GA THANK YOU FOR "
    "WAITING YOUR APPOINTMENT IS ON THURSDAY MORNING WITH DOCTOR GREEN PLEASE COME TO THE SECOND FLOOR "
    "AND BRING YOUR CARD AND A LIST OF THE MEDICINE YOU TAKE GA OK THAT IS FINE I WILL BE THERE EARLY "
    "IS THERE ANYTHING ELSE I NEED TO KNOW GA NO THAT IS ALL HAVE A GOOD DAY AND CALL US BACK IF YOU "
    "HAVE ANY QUESTIONS SK I HOPE THE WEATHER STAYS WARM AND DRY FOR YOUR TRIP "
    "MY NAME IS MARY AND I WOULD LIKE TO LEAVE A MESSAGE FOR JOHN HE CAN REACH ME AT HOME THIS EVENING "
    "WE RECEIVED YOUR ORDER AND IT WILL SHIP TOMORROW YOU SHOULD GET AN EMAIL WITH THE TRACKING NUMBER "
    "SORRY I DID NOT UNDERSTAND COULD YOU REPEAT THAT PLEASE GA YES OF COURSE THE OFFICE OPENS AT NINE "
    "AND CLOSES AT FIVE EVERY WEEKDAY BUT WE ARE CLOSED ON HOLIDAYS AND WEEKENDS";

constexpr const ShiftTables& kTable = kShiftTables;

struct Likelihoods
{
    std::array<std::array<float, kCodes>, kCodes> letters{}; // [previous letter code, or kSpace][code]
    std::array<float, kCodes> figures{};
};

std::array<std::array<float, kCodes>, kCodes> letterPairCounts()
{
    std::array<unsigned, 128> codeOf{};
    for (unsigned code = 0; code < kCodes; ++code)
        if (kTable.letters[code])
            codeOf[static_cast<unsigned char>(kTable.letters[code])] = code;
    std::array<std::array<float, kCodes>, kCodes> counts{};
    unsigned previous = kSpace;
    for (char c : kEnglish) {
        const unsigned code = c == ' ' ? kSpace : codeOf[static_cast<unsigned char>(c)];
        counts[previous][code] += 1.0F;
        previous = code;
    }
    return counts;
}

Likelihoods makeLikelihoods()
{
    const auto counts = letterPairCounts();
    Likelihoods l;
    for (unsigned p = 0; p < kCodes; ++p) {
        float total = 0.0F;
        for (unsigned c = 0; c < kCodes; ++c)
            if (kTable.letters[c] || c == kSpace)
                total += counts[p][c] + 0.5F;
        for (unsigned c = 0; c < kCodes; ++c)
            l.letters[p][c] = std::log((counts[p][c] + 0.5F) / total);
    }
    const std::string_view figures = "0123456789-.,:/$?()";
    const float perMille[] = {85, 85, 85, 85, 85, 85, 85, 85, 85, 85, 40, 30, 20, 15, 10, 10, 5, 3, 3};
    l.figures.fill(std::log(0.001F)); // ! # & ' " ; and the bell
    for (unsigned code = 0; code < kCodes; ++code)
        if (const auto i = figures.find(kTable.figures[code]);
            kTable.figures[code] && i != std::string_view::npos)
            l.figures[code] = std::log(perMille[i] / 1000.0F);
    return l;
}

// Viterbi over letters (0) and figures (1): taking a received LTRS or FIGS for something else costs the
// log-likelihood of its least certain bit; a shift lost between two characters costs that of a bit
// error at the burst's level.
class ShiftViterbi
{
public:
    ShiftViterbi(std::span<const HeardCode> heard, bool unshiftOnSpace)
        : m_heard(heard), m_unshiftOnSpace(unshiftOnSpace), m_from(heard.size())
    {
    }

    // Fills the state each character prints in and returns the cost of that reading in nats.
    float run(std::vector<int>& state)
    {
        const std::size_t n = m_heard.size();
        m_cost = {0.0F, n ? m_heard[0].bitErrorLlr + kShiftPrior : 0.0F};
        for (std::size_t i = 0; i < n; ++i)
            step(i);
        int s = m_cost[0] <= m_cost[1] ? 0 : 1;
        const float total = m_cost[static_cast<std::size_t>(s)];
        for (std::size_t i = n; i-- > 0;) {
            state[i] = s;
            s = m_from[i][static_cast<std::size_t>(s)];
        }
        return total;
    }

private:
    static constexpr float kShiftPrior = 2.3F;     // shifts are about a tenth of the characters sent
    static constexpr float kRedundantShift = 2.0F; // a shift to where the receiver already is

    void step(std::size_t i)
    {
        static const Likelihoods likely = makeLikelihoods();
        const HeardCode& f = m_heard[i];
        // A shift lost just before this character.
        const float lost = f.bitErrorLlr + kShiftPrior;
        std::array<float, 2> next{};
        for (std::size_t s = 0; s < 2; ++s) {
            const float stay = m_cost[s], swap = m_cost[1 - s] + lost;
            next[s] = std::min(stay, swap);
            m_from[i][s] = static_cast<std::uint8_t>(stay <= swap ? s : 1 - s);
        }
        const bool toLetters = f.code == kLtrs || (m_unshiftOnSpace && f.code == kSpace);
        if (toLetters || f.code == kFigs) {
            // The received shift decides, unless its weakest bit was misheard.
            const std::size_t told = toLetters ? 0 : 1, other = 1 - told;
            const float redundant = f.code == kSpace ? 0.0F : kRedundantShift;
            const float viaOther = next[other], viaTold = next[told] + redundant;
            next[told] = std::min(viaOther, viaTold);
            const std::uint8_t fromTold = m_from[i][told];
            m_from[i][told] = viaOther < viaTold ? m_from[i][other] : fromTold;
            next[other] += f.weakestBitLlr;
        } else if (kTable.letters[f.code]) {
            // Letters are judged in pairs: after a letter, or at the start of a word.
            const unsigned before =
                i > 0 && kTable.letters[m_heard[i - 1].code] ? m_heard[i - 1].code : kSpace;
            next[0] -= likely.letters[before][f.code];
            next[1] -= likely.figures[f.code];
        }
        m_cost = next;
    }

    std::span<const HeardCode> m_heard;
    bool m_unshiftOnSpace;
    std::vector<std::array<std::uint8_t, 2>> m_from;
    std::array<float, 2> m_cost{};
};

} // namespace

std::vector<std::string> printHeard(std::span<const HeardCode> heard, bool unshiftOnSpace)
{
    // Senders of both habits exist: unless told, the message is read both ways and the reading that
    // explains it better is kept (a sender that unshifts on space repeats FIGS after spaces inside
    // numbers and leaves LTRS out after them).
    const std::size_t n = heard.size();
    std::vector<int> state(n), other(n);
    const float cost = ShiftViterbi(heard, unshiftOnSpace).run(state);
    constexpr float kUnusualHabit = 1.0F;
    if (!unshiftOnSpace && ShiftViterbi(heard, true).run(other) + kUnusualHabit < cost)
        state.swap(other);
    std::vector<std::string> out(n);
    bool afterCr = false;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned code = heard[i].code;
        const bool crBefore = std::exchange(afterCr, code == kCr);
        if (code == kLtrs || code == kFigs)
            continue;
        if (code == kSpace)
            out[i] = " ";
        else if (code == kCr || (code == kLf && !crBefore))
            out[i] = "\n";
        else if (const char c = (state[i] ? kTable.figures : kTable.letters)[code])
            out[i] = std::string(1, c);
    }
    return out;
}

} // namespace quillfen::tty
