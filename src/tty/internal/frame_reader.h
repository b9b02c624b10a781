#pragma once

// Private to src/tty: the frame reader works on the tone bank's features.

#include "tty/internal/tone_bank.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace quillfen::tty {

// How one frame was heard: per-bit contrasts (mark - space) / (mark + space + softness) summed with
// the expected sign, and energy differences in noise-floor units.
struct Judgement
{
    float quality = 0.0F; // start + data + stop contrast, at most 7
    float start = 0.0F, stop = 0.0F, data = 0.0F;
    float level = 0.0F; // mean energy difference per bit
    float startLevel = 0.0F, stopLevel = 0.0F;
    unsigned code = 0;
};

// One accepted character: its 5-bit code, the baseband sample where its start bit begins, how clearly
// it was heard (0-7: the summed contrast of its seven bits), and two log-likelihoods (nats) the printer
// weighs when a shift looks misheard: that of its least certain data bit, and that of any one bit of
// a character at the burst's level being flipped by noise.
struct Frame
{
    unsigned code = 0;
    std::int64_t start = 0;
    float quality = 0.0F;
    float weakestBitLlr = 0.0F;
    float bitErrorLlr = 0.0F;
};

// Characters that followed each other with no more than a second between them, at one baud plan.
struct BurstFrames
{
    std::int64_t start = 0; // baseband sample where the first start bit begins
    std::int64_t end = 0;   // ... where the last stop bit ends
    std::vector<Frame> frames;
    int framingErrors = 0;
};

// Finds Baudot frames in the tone features of one baud plan. Frames are timed by a search over start
// positions and bit lengths (+-3 %) that maximises the energy contrast of the bit before, start bit,
// data bits and stop bit together; a burst's bit length is learnt from its frames. Characters sent
// back to back are then read where the run's period puts them. A burst starts only on one frame clear
// in every bit or on two acceptable ones back to back, so noise and speech rarely make one.
class FrameReader
{
public:
    FrameReader(const BaudPlan& plan, double rate);

    void push(std::span<const ToneFeature> features);
    void finish();
    // Bursts completed so far, in order; the reader forgets them.
    std::vector<BurstFrames> takeBursts();
    // The burst still being read, as far as it goes; none between bursts. A later frame may still
    // re-read its first characters.
    const BurstFrames* openBurst() const { return m_burst ? &m_burst->frames : nullptr; }

private:
    // The bit lengths tried, as indices: nominal in the middle, +-1.5 % and +-3 % round it.
    static constexpr int kBitLengths = 5;
    static constexpr int kNominalBitLength = kBitLengths / 2; // the bit length the baud rate gives

    // A frame as one start position and bit length would read it.
    struct FrameCandidate
    {
        std::int64_t start = 0; // window end of the start bit
        int bitLength = 0;
        std::array<float, 7> mark{}, space{};
        std::array<double, kBitLengths> bitLengthDelta{}; // each bit length's best contrast against the best
        double contrast = 0.0;
        float before = 0.0F; // mark - space energy of the bit before the start bit
        bool valid = false;
    };
    // Characters on one period's grid: slot numbers against start positions, for the slope.
    struct Run
    {
        std::int64_t lastSlot = 0;
        int count = 0;
        double sumSlot = 0, sumStart = 0, sumSlot2 = 0, sumSlotStart = 0;
        void add(std::int64_t slot, std::int64_t start)
        {
            const auto k = static_cast<double>(slot), t = static_cast<double>(start);
            lastSlot = slot;
            ++count;
            sumSlot += k;
            sumStart += t;
            sumSlot2 += k * k;
            sumSlotStart += k * t;
        }
        double slope() const
        {
            return (count * sumSlotStart - sumSlot * sumStart) / (count * sumSlot2 - sumSlot * sumSlot);
        }
    };
    // The burst being read: its frames so far and what they say of the next one.
    struct OpenBurst
    {
        Run run;
        BurstFrames frames;
        std::array<double, kBitLengths> bitLengthScore{};
        std::int64_t lastStop = 0; // window end of the last stop bit
        float level = 0.0F;        // its characters' energy difference per bit, averaged
        std::int64_t lastStart = 0;
        std::int64_t spacing = 0; // between the last two characters
        std::int64_t period = 0;  // spacing seen twice running; 0 while unknown
        double exactPeriod = 0.0; // the same to a fraction of a sample, once a run's slope gives it
        bool triedNext = false;   // the slots the period predicts have all been tried
        int missed = 0;           // slots tried without a character since the last one
        double phase = 0.0;       // fraction of a sample the last start lies past lastStart
        void setPeriod(double samples)
        {
            period = std::llround(samples);
            exactPeriod = samples;
        }
        // Where the character `slots` periods after the last one is due.
        double expectedAt(std::int64_t slots) const
        {
            return static_cast<double>(lastStart) + phase + static_cast<double>(slots) * exactPeriod;
        }
        // Slots since the last character whose readings failed: kept in case a character turns up on
        // time behind them.
        std::vector<std::pair<FrameCandidate, Judgement>> missedSlots;
        bool busy = false; // the last slot was garbled, not idle: no hunting off the period till the next
    };
    // What the hunt for a start bit does next.
    enum class Step { Wait, Continue, Hunt };

    void run();
    Step tryPredictedSlot();
    void hunt();
    bool acceptHunted(const FrameCandidate& c, const Judgement& j);
    bool acceptPair(const FrameCandidate& c, const Judgement& j);
    bool framingError(const FrameCandidate& c, const Judgement& j);
    void dropUnconfirmed();
    void trimHistory();

    const ToneFeature& at(std::int64_t n) const { return m_features[static_cast<std::size_t>(n - m_base)]; }
    FrameCandidate search(std::int64_t trigger);
    int chooseBitLength(const std::array<double, kBitLengths>& best, double top) const;
    FrameCandidate candidate(std::int64_t start, int bitLength) const;
    double contrast(std::int64_t start, int bitLength) const;
    int burstBitLength() const;
    bool tryExpected();
    bool tryStreamStart();
    bool tryExpectedAt(double exact, int bitLength);
    // `spacing` when characters that far apart were sent back to back; else 0.
    std::int64_t backToBack(std::int64_t spacing) const;
    bool onTime(const FrameCandidate& c, const Judgement& j) const;
    std::int64_t nextExpected() const { return std::llround(m_burst->expectedAt(m_burst->missed + 1)); }
    // `heardAt`: where the frame's own start bit puts it, if not at c.start.
    void accept(const FrameCandidate& c, const Judgement& j, std::int64_t heardAt = -1);
    bool garbled(const FrameCandidate& c, const Judgement& j) const;
    void fillMissedSlots();
    void huntAgainFromLast();
    void skipPast(const FrameCandidate& c);
    Frame frame(const FrameCandidate& c, const Judgement& j, std::int64_t firstSample) const;
    void rereadBefore(std::int64_t lockStart);
    void closeBurst();
    std::int64_t bitOffset(int bitLength, int bit) const
    {
        return m_offsets[static_cast<std::size_t>(bitLength)][static_cast<std::size_t>(bit)];
    }

    BaudPlan m_plan;
    int m_gap;       // samples of silence that end a burst
    int m_pairing;   // most samples between a lone frame and the one that confirms it
    int m_lookahead; // samples past a trigger that a frame may need
    std::array<std::array<std::int64_t, 8>, kBitLengths> m_offsets{};
    std::vector<ToneFeature> m_features;
    std::vector<float> m_differences; // mark - space of each feature, what the timing search sums
    std::int64_t m_base = 0;          // index of m_features[0]
    std::int64_t m_total = 0;         // features received
    bool m_ended = false;

    std::int64_t m_pos = 0;      // next sample to test for a start bit
    std::int64_t m_minStart = 0; // earliest start-bit window end the next frame may have
    bool m_needMark = false;     // after a break, wait for the line to return to mark
    std::optional<OpenBurst> m_burst;
    std::int64_t m_closedEnd = std::numeric_limits<std::int64_t>::min(); // where the last closed burst ends
    std::optional<std::pair<FrameCandidate, Judgement>>
        m_pending; // a lone acceptable frame awaiting a second
    std::vector<BurstFrames> m_done;
};

} // namespace quillfen::tty
