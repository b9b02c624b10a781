#include "tty/internal/frame_reader.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <utility>

namespace quillfen::tty {
namespace {

// The reader's tuning, in one place. Energies are in noise-floor units (noise alone averages about
// 1), contrasts per bit run from -1 to 1, times are in bits unless a name says otherwise.

// Bit lengths tried: nominal and +-1.5 %, +-3 %.
constexpr double kBitLengthStep = 0.015;
// A window whose space energy is this far over the noise floor and over the mark may hold a start bit.
constexpr float kTrigger = 2.0F;
// Contrast of one bit: (mark - space) / (mark + space + kSoftness). The softness keeps bits at the
// noise floor near 0 instead of +-1.
constexpr float kSoftness = 2.0F;

// What a frame must show to be taken: at most `weakBits` weak bits (see weakBits()), a quality (the
// sum of its seven contrasts, start and stop with their expected sign, at most 7) and a level (mean
// energy difference per bit).
struct Bar
{
    int weakBits;
    float quality;
    float level;
};
constexpr Bar kInBurst{1, 1.5F, 1.5F};   // inside a typed run: within kCloseBits of its last character
constexpr Bar kNearBurst{1, 2.5F, 3.5F}; // in a burst after a pause, start and stop bit clearly heard
constexpr Bar kPaired{1, 2.5F, 3.0F};    // one of two back to back, start and stop bit clearly heard
// Starting a burst alone: not one weak bit, which noise and speech rarely manage in all seven.
constexpr Bar kAlone{0, 3.0F, 5.0F};
// Inside or beside a burst the level must also reach this share of the burst's: a frame of noise in
// a pause is much quieter than the characters round it.
constexpr float kInBurstLevelShare = 0.35F, kNearBurstLevelShare = 0.5F;
// Start and stop bit must each carry this share of the frame's level (the bit before no more than it
// towards space); a weak bit has less than kWeakShare of it.
constexpr float kEdgeShare = 0.3F, kWeakShare = 0.25F;

// A frame exactly where a back-to-back character is due needs less: this quality, this share of the
// burst's level and at most this many weak bits. Slots are tried this many periods on after the last
// character read, and the prediction is pulled this share of the way to the local peak.
constexpr float kOnTime = 1.0F, kOnTimeLevelShare = 0.3F;
constexpr int kOnTimeWeakBits = 3;
constexpr int kMissedSlots = 3;
constexpr double kPull = 0.3;
// Characters on the period's grid before its slope through them sets the period. On the slope the
// prediction is pulled further: the grid no longer drifts, and the peak within two samples of it is
// where this character's bits read clearest.
constexpr int kRunForSlope = 4;
constexpr double kSettledPull = 0.6;
// A slot that fails but whose energy reaches this share of the burst's level, its start bit not
// clearly mark, is taken for a garbled character.
constexpr float kGarbledLevelShare = 0.5F;
// Baseband samples the period's prediction may be off by noise alone (about 1 ms each): spacings this
// close agree, a peak this close to a nominal spacing is snapped to it, and is searched for round it.
constexpr std::int64_t kJitterSamples = 2;
// Round the nominal bit length's best start, the other bit lengths are tried this far either side.
constexpr std::int64_t kBitLengthSearchSamples = 4;
// The free search overrides the predicted slot only when its contrast beats the slot's by this many of
// the burst's per-bit levels: noise alone moves the peak by less.
constexpr double kOverrideLevels = 2.0;

// Characters 7 to 8 bits apart (1 to 2 stop bits), give or take kStreamTolerance, were sent back to
// back; the first spacing is looked for round the middle, the nominal ones are snapped to.
constexpr double kShortestStream = 7.0, kLongestStream = 8.0, kStreamTolerance = 0.035;
constexpr double kNominalSpacings[] = {7.0, 7.5, 8.0};
// Characters this close (in bits of idle between them) are one typed run.
constexpr double kCloseBits = 3.0;
// A break: start and stop bit both clearly space, the data bits clearly carried.
constexpr float kClear = 0.5F;
// Silence that ends a burst, in seconds.
constexpr double kGapSeconds = 1.0;
// After a frame the next start bit's window may end no sooner than this far past its stop bit: a
// character cannot start inside the one before.
constexpr double kNextStartBits = 0.6;
// The burst's level follows each new character by this share (an average over about five
// characters): one loud or faint character does not move the yardstick.
constexpr float kLevelFollow = 0.2F;
// Log-likelihoods need a level: below this one (in noise-floor units) every bit counts as barely heard.
constexpr float kLeastLevel = 0.5F;

// Features kept behind the hunt for a later search or re-read, in bits; they are dropped only in steps
// of at least kTrimSamples, so erasing the front of the buffers stays cheap.
constexpr std::int64_t kHistoryBits = 64, kTrimSamples = 65536;

// A start position no bit length has tried yet: below every contrast.
constexpr double kUntried = -std::numeric_limits<double>::infinity();
// A bit length the search could not try (its frame would run past the input) counts this much against
// it in the burst's sums: far below any real contrast, yet finite so those sums still compare.
constexpr double kUntriedPenalty = -1e9;
// Above any bit's log-likelihood: where the search for the least certain one starts.
constexpr float kAboveAnyLlr = 1e9F;

float contrast(float mark, float space)
{
    return (mark - space) / (mark + space + kSoftness);
}

// Bits whose energy difference (with the expected sign for start and stop) is under a quarter of
// `level`: where a frame of noise has most of its bits, and a real one rarely more than one.
int weakBits(const std::array<float, 7>& mark, const std::array<float, 7>& space, float level)
{
    int weak = 0;
    for (std::size_t i = 0; i < 7; ++i) {
        const float d = i == 0   ? space[i] - mark[i]
                        : i == 6 ? mark[i] - space[i]
                                 : std::abs(mark[i] - space[i]);
        weak += d < kWeakShare * level;
    }
    return weak;
}

bool clears(const Judgement& j, int weak, const Bar& bar, float levelFloor = 0.0F)
{
    return weak <= bar.weakBits && j.quality >= bar.quality && j.level >= std::max(bar.level, levelFloor);
}

Judgement judge(const std::array<float, 7>& mark, const std::array<float, 7>& space)
{
    Judgement j;
    j.start = -contrast(mark[0], space[0]);
    j.stop = contrast(mark[6], space[6]);
    for (int i = 1; i <= 5; ++i) {
        const float v = contrast(mark[static_cast<std::size_t>(i)], space[static_cast<std::size_t>(i)]);
        j.data += std::abs(v);
        j.level += std::abs(mark[static_cast<std::size_t>(i)] - space[static_cast<std::size_t>(i)]);
        if (v > 0)
            j.code |= 1U << (i - 1);
    }
    j.quality = j.start + j.data + j.stop;
    j.startLevel = space[0] - mark[0];
    j.stopLevel = mark[6] - space[6];
    j.level = (j.level + j.startLevel + j.stopLevel) / 7;
    return j;
}

// A frame that could start a burst on its own merits, judged against `level`: at most one weak bit,
// start and stop bit each clearly heard, the bit before not space.
bool standsAlone(const std::array<float, 7>& mark, const std::array<float, 7>& space, float before,
                 const Judgement& j, float level)
{
    return weakBits(mark, space, level) <= 1 && j.startLevel >= kEdgeShare * level &&
           j.stopLevel >= kEdgeShare * level && before >= -kEdgeShare * level;
}

} // namespace

FrameReader::FrameReader(const BaudPlan& plan, double rate)
    : m_plan(plan), m_gap(static_cast<int>(std::lround(kGapSeconds * rate))),
      m_pairing(static_cast<int>(std::lround(kCloseBits * plan.bitSamples)))
{
    for (int k = 0; k < kBitLengths; ++k)
        for (int i = 0; i < 8; ++i)
            m_offsets[static_cast<std::size_t>(k)][static_cast<std::size_t>(i)] =
                std::llround(i * plan.bitSamples * (1.0 + (k - kNominalBitLength) * kBitLengthStep));
    m_lookahead =
        static_cast<int>(std::ceil(plan.bitSamples)) + static_cast<int>(bitOffset(kBitLengths - 1, 6)) + 2;
}

void FrameReader::push(std::span<const ToneFeature> features)
{
    m_features.insert(m_features.end(), features.begin(), features.end());
    for (const ToneFeature& f : features)
        m_differences.push_back(f.mark - f.space);
    m_total += static_cast<std::int64_t>(features.size());
    run();
}

void FrameReader::finish()
{
    m_ended = true;
    run();
    if (m_pending && m_pending->second.quality >= kAlone.quality && m_pending->second.level >= kAlone.level)
        accept(m_pending->first, m_pending->second);
    m_pending.reset();
    closeBurst();
}

std::vector<BurstFrames> FrameReader::takeBursts()
{
    return std::exchange(m_done, {});
}

void FrameReader::closeBurst()
{
    if (m_burst) {
        m_closedEnd = m_burst->frames.end;
        m_done.push_back(std::move(m_burst->frames));
    }
    m_burst.reset();
}

double FrameReader::contrast(std::int64_t e, int bitLength) const
{
    // Start bit space, stop bit mark, data bits either: the energy contrast they add up to. The bit
    // before counts too (mark, or nothing after silence): without it a character whose first data
    // bit is space reads as well one bit late, its start bit taken for idle.
    const auto& off = m_offsets[static_cast<std::size_t>(bitLength)];
    const float* d = m_differences.data() + (e - m_base);
    float f = (e - off[1] >= m_base ? d[-off[1]] : 0.0F) - d[0] + d[off[6]];
    for (std::size_t i = 1; i <= 5; ++i)
        f += std::abs(d[off[i]]);
    return f;
}

FrameReader::FrameCandidate FrameReader::candidate(std::int64_t e, int bitLength) const
{
    // A frame that would reach past what has been heard (at the end of a recording) is no frame.
    if (e < m_base || e + bitOffset(bitLength, 6) >= m_total)
        return {};
    FrameCandidate c;
    c.start = e;
    c.bitLength = bitLength;
    const ToneFeature& before = at(std::max(m_base, e - bitOffset(bitLength, 1)));
    c.before = before.mark - before.space;
    for (int i = 0; i < 7; ++i) {
        const ToneFeature& t = at(e + bitOffset(bitLength, i));
        c.mark[static_cast<std::size_t>(i)] = t.mark;
        c.space[static_cast<std::size_t>(i)] = t.space;
    }
    c.valid = true;
    return c;
}

int FrameReader::burstBitLength() const
{
    if (!m_burst || m_burst->frames.frames.size() < 2)
        return kNominalBitLength;
    const auto& s = m_burst->bitLengthScore;
    return static_cast<int>(std::max_element(s.begin(), s.end()) - s.begin());
}

int FrameReader::chooseBitLength(const std::array<double, kBitLengths>& best, double top) const
{
    // Inside a burst the bit length its earlier frames chose weighs in: one noisy frame cannot pull it.
    const bool burstTiming = m_burst && m_burst->frames.frames.size() >= 2;
    double chosen = kUntried;
    int bitLength = 0;
    for (int k = 0; k < kBitLengths; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (best[i] == kUntried)
            continue;
        const double score = best[i] - top + (burstTiming ? m_burst->bitLengthScore[i] : 0.0);
        if (score > chosen) {
            chosen = score;
            bitLength = k;
        }
    }
    return bitLength;
}

FrameReader::FrameCandidate FrameReader::search(std::int64_t trigger)
{
    const auto bit = static_cast<std::int64_t>(m_plan.bitSamples);
    const std::int64_t lo = std::max({trigger - bit / 2, m_minStart, m_base}), hi = trigger + bit;
    std::array<double, kBitLengths> best;
    std::array<std::int64_t, kBitLengths> where{};
    best.fill(kUntried);
    // The nominal bit length over the whole range; the others round its peak (the start bit places
    // a frame; the bit length only moves its later bits).
    constexpr int kNominal = kNominalBitLength;
    for (int k : {kNominal, 0, 1, 3, 4}) {
        const auto& off = m_offsets[static_cast<std::size_t>(k)];
        const bool around = k != kNominal && best[kNominal] != kUntried;
        const std::int64_t from = around ? std::max(lo, where[kNominal] - kBitLengthSearchSamples) : lo;
        const std::int64_t to = around ? std::min(hi, where[kNominal] + kBitLengthSearchSamples) : hi;
        for (std::int64_t e = from; e <= to && e + off[6] < m_total; ++e) {
            const double f = contrast(e, k);
            if (f > best[static_cast<std::size_t>(k)]) {
                best[static_cast<std::size_t>(k)] = f;
                where[static_cast<std::size_t>(k)] = e;
            }
        }
    }
    const double top = *std::max_element(best.begin(), best.end());
    if (top == kUntried)
        return {};
    const int bitLength = chooseBitLength(best, top);
    FrameCandidate c = candidate(where[static_cast<std::size_t>(bitLength)], bitLength);
    c.contrast = best[static_cast<std::size_t>(bitLength)];
    for (std::size_t k = 0; k < kBitLengths; ++k)
        c.bitLengthDelta[k] = best[k] == kUntried ? kUntriedPenalty : best[k] - top;
    return c;
}

Frame FrameReader::frame(const FrameCandidate& c, const Judgement& j, std::int64_t firstSample) const
{
    // Non-coherent FSK at per-bit SNR a: a bit's log-likelihood ratio is about 2 sqrt(a) (sqrt(mark) -
    // sqrt(space)), and noise flips a bit with probability about exp(-a / 2) / 2.
    const float a = std::max(m_burst->level, kLeastLevel);
    float weakest = kAboveAnyLlr;
    for (std::size_t i = 1; i <= 5; ++i)
        weakest = std::min(weakest, 2 * std::sqrt(a) *
                                        std::abs(std::sqrt(std::max(c.mark[i], 0.0F)) -
                                                 std::sqrt(std::max(c.space[i], 0.0F))));
    return {j.code, firstSample, j.quality, weakest, a / 2 + std::log(2.0F)};
}

void FrameReader::rereadBefore(std::int64_t lockStart)
{
    // The characters before a stream's period was known were placed by their own noisy start bits
    // (and a frame of noise may have slipped in front). Read them again where the period puts them,
    // back from the character that locked it, and on before the burst while characters are there, but
    // never into a burst already closed: that one has been handed on, and its characters would print
    // twice.
    const int bitLength = burstBitLength();
    std::vector<Frame>& frames = m_burst->frames.frames;
    const std::int64_t firstKnown = frames.front().start + m_plan.window - 1;
    std::vector<Frame> reread;
    for (std::int64_t k = 1, slot = lockStart - m_burst->period;
         slot - 2 * bitOffset(bitLength, 1) >= m_base && slot - m_plan.window >= m_closedEnd;
         slot = lockStart - std::llround(static_cast<double>(++k) * m_burst->exactPeriod)) {
        const FrameCandidate c = candidate(slot, bitLength);
        if (!c.valid)
            break;
        const Judgement j = judge(c.mark, c.space);
        // Before the burst as first heard, a frame must be as clear as one that starts a burst.
        const bool inside = slot >= firstKnown - kJitterSamples;
        if (!onTime(c, j) || (!inside && !standsAlone(c.mark, c.space, c.before, j, m_burst->level)))
            break;
        reread.push_back(frame(c, j, slot - m_plan.window + 1));
    }
    const auto locked = std::find_if(frames.begin(), frames.end(), [&](const Frame& f) {
        return f.start + m_plan.window - 1 >= lockStart;
    });
    // Keep the first reading where the period finds nothing for part of it.
    if (reread.empty() || (reread.back().start > frames.front().start && locked != frames.begin() &&
                           static_cast<std::size_t>(locked - frames.begin()) > reread.size()))
        return;
    std::reverse(reread.begin(), reread.end());
    frames.erase(frames.begin(), locked);
    frames.insert(frames.begin(), reread.begin(), reread.end());
    m_burst->frames.start = std::min(m_burst->frames.start, frames.front().start);
}

void FrameReader::skipPast(const FrameCandidate& c)
{
    // The hunt resumes a quarter bit past the stop bit; the next start bit may not begin inside it.
    const std::int64_t stop = c.start + bitOffset(c.bitLength, 6);
    const auto bit = static_cast<std::int64_t>(m_plan.bitSamples);
    m_pos = std::max(m_pos, stop + bit / 4);
    m_minStart = stop + static_cast<std::int64_t>(kNextStartBits * m_plan.bitSamples);
}

void FrameReader::accept(const FrameCandidate& c, const Judgement& j, std::int64_t heardAt)
{
    if (heardAt < 0)
        heardAt = c.start;
    const std::int64_t stop = c.start + bitOffset(c.bitLength, 6);
    const std::int64_t firstSample = c.start - m_plan.window + 1;
    if (!m_burst) {
        // (OpenBurst{}: clang cannot default-construct a nested class in emplace() while it is incomplete.)
        m_burst.emplace(OpenBurst{});
        m_burst->frames.start = firstSample;
    } else if (!m_burst->frames.frames.empty()) {
        // Characters sent back to back repeat at a fixed period: once two spacings agree, the next
        // character is looked for there first.
        const std::int64_t spacing = c.start - m_burst->lastStart;
        if (std::abs(spacing - m_burst->spacing) <= kJitterSamples)
            m_burst->setPeriod(static_cast<double>(spacing));
        m_burst->spacing = spacing;
        // Over a longer run the period is the slope through all its characters' starts: one pair's
        // spacing is off by the noise in two start bits.
        const std::int64_t step = m_burst->period > 0 ? m_burst->period : backToBack(spacing);
        const std::int64_t slots = step > 0 ? (spacing + step / 2) / step : 0;
        const auto bit = static_cast<std::int64_t>(m_plan.bitSamples);
        if (slots >= 1 && slots <= kMissedSlots && std::abs(spacing - slots * step) <= bit / 2)
            m_burst->run.add(m_burst->run.lastSlot + slots, heardAt);
        else
            m_burst->run = {};
        if (m_burst->run.count >= kRunForSlope) {
            const double slope = m_burst->run.slope();
            if (backToBack(std::llround(slope)) != 0)
                m_burst->setPeriod(slope);
        }
    }
    if (m_burst->run.count == 0)
        m_burst->run.add(0, heardAt);
    m_burst->lastStart = c.start;
    m_burst->phase = 0.0;
    m_burst->triedNext = false;
    m_burst->missed = 0;
    m_burst->missedSlots.clear();
    m_burst->busy = false;
    m_burst->level = m_burst->frames.frames.empty()
                         ? j.level
                         : (1.0F - kLevelFollow) * m_burst->level + kLevelFollow * j.level;
    m_burst->frames.frames.push_back(frame(c, j, firstSample));
    m_burst->frames.end = stop;
    m_burst->lastStop = stop;
    for (std::size_t k = 0; k < kBitLengths; ++k)
        m_burst->bitLengthScore[k] += c.bitLengthDelta[k];
    skipPast(c);
}

bool FrameReader::garbled(const FrameCandidate& c, const Judgement& j) const
{
    // Neither idle (start bit clearly mark) nor silent: a character the line garbled, or noise.
    float energy = 0.0F;
    for (std::size_t i = 0; i < 7; ++i)
        energy += c.mark[i] + c.space[i];
    return j.start > -kClear && energy / 7 >= kGarbledLevelShare * m_burst->level;
}

void FrameReader::huntAgainFromLast()
{
    const auto bit = static_cast<std::int64_t>(m_plan.bitSamples);
    m_pos = m_burst->lastStop + bit / 4;
    m_minStart = m_burst->lastStop + static_cast<std::int64_t>(kNextStartBits * m_plan.bitSamples);
    m_burst->busy = false;
    m_burst->missedSlots.clear();
}

void FrameReader::fillMissedSlots()
{
    // A character on time behind garbled slots: the run went on through them, so each held a
    // character that the line garbled (a talker over the tones, a codec's smear). Its best reading
    // costs less than leaving it out.
    if (m_burst->missedSlots.size() != static_cast<std::size_t>(m_burst->missed - 1))
        return;
    for (const auto& [c, j] : m_burst->missedSlots)
        m_burst->frames.frames.push_back(frame(c, j, c.start - m_plan.window + 1));
}

std::int64_t FrameReader::backToBack(std::int64_t spacing) const
{
    const double bits = static_cast<double>(spacing) / m_plan.bitSamples;
    return bits >= kShortestStream * (1 - kStreamTolerance) && bits <= kLongestStream * (1 + kStreamTolerance)
               ? spacing
               : 0;
}

bool FrameReader::tryExpected()
{
    if (m_burst->period == 0)
        return tryStreamStart();
    const double expected = m_burst->expectedAt(m_burst->missed + 1);
    m_burst->triedNext = ++m_burst->missed >= kMissedSlots;
    return tryExpectedAt(expected, burstBitLength());
}

bool FrameReader::tryStreamStart()
{
    // After the first character of a burst: is the second streamed right behind it? Its start bit
    // is searched round 7.5 bits on, the range 1 to 2 stop bits at +-3 % covers.
    m_burst->triedNext = true;
    const double middle = (kShortestStream + kLongestStream) / 2;
    FrameCandidate c =
        search(m_burst->lastStart + static_cast<std::int64_t>(std::llround(middle * m_plan.bitSamples)));
    std::int64_t period = c.valid ? backToBack(c.start - m_burst->lastStart) : 0;
    if (period == 0)
        return false;
    // Near a nominal spacing the noise in the peak is larger than the sender's error: snap to it.
    for (const double bits : kNominalSpacings) {
        const auto nominal = static_cast<std::int64_t>(std::llround(bits * m_plan.bitSamples));
        if (std::abs(period - nominal) <= kJitterSamples) {
            const std::array<double, kBitLengths> delta = c.bitLengthDelta;
            c = candidate(m_burst->lastStart + nominal, kNominalBitLength);
            c.bitLengthDelta = delta;
            period = nominal;
        }
    }
    if (!c.valid)
        return false;
    // Not yet known to be a stream: the frame must stand as one that starts a burst would.
    const Judgement j = judge(c.mark, c.space);
    if (!onTime(c, j) || !standsAlone(c.mark, c.space, c.before, j, m_burst->level))
        return false;
    accept(c, j);
    m_burst->setPeriod(static_cast<double>(period));
    rereadBefore(c.start);
    return true;
}

bool FrameReader::onTime(const FrameCandidate& c, const Judgement& j) const
{
    // In a back-to-back run a character is due here: take the best reading of it unless the line has
    // gone idle (no start bit) or quiet.
    return j.start > 0 && j.stop > -kClear && j.quality >= kOnTime &&
           j.level >= kOnTimeLevelShare * m_burst->level &&
           weakBits(c.mark, c.space, m_burst->level) <= kOnTimeWeakBits;
}

bool FrameReader::tryExpectedAt(double exact, int bitLength)
{
    const std::int64_t expected = std::llround(exact);
    if (expected - kJitterSamples < m_minStart ||
        expected + kJitterSamples + bitOffset(bitLength, 6) >= m_total)
        return false;
    // Within two samples of the prediction the local peak is mostly noise: move only part way to it.
    std::int64_t peak = expected;
    for (std::int64_t t = expected - kJitterSamples; t <= expected + kJitterSamples; ++t)
        if (contrast(t, bitLength) > contrast(peak, bitLength))
            peak = t;
    const double pull = m_burst->run.count >= kRunForSlope ? kSettledPull : kPull;
    const double timing = exact + pull * static_cast<double>(peak - expected);
    const auto e = static_cast<std::int64_t>(std::llround(timing));
    // Taken where expected unless the free search finds a frame clearly better than noise allows.
    const FrameCandidate free = search(expected);
    FrameCandidate c = candidate(e, bitLength);
    if (!c.valid)
        return false;
    c.bitLengthDelta = free.bitLengthDelta;
    // Once the period is the slope through a run, the run's grid outweighs any one frame off it.
    const bool settled = m_burst->run.count >= kRunForSlope;
    if (!settled && free.valid && contrast(e, bitLength) < free.contrast - kOverrideLevels * m_burst->level) {
        // The grid itself is off: what it took for garbled characters is hunted for afresh.
        if (m_burst->busy)
            huntAgainFromLast();
        return false;
    }
    const Judgement j = judge(c.mark, c.space);
    if (!onTime(c, j)) {
        // A garbled slot still holds its character's place: the hunt resumes behind it.
        if (garbled(c, j)) {
            m_burst->missedSlots.emplace_back(c, j);
            skipPast(c);
            m_burst->busy = true;
        }
        // The run is lost after all: hunt again from its last character.
        if (m_burst->triedNext && m_burst->busy)
            huntAgainFromLast();
        return false;
    }
    const double phase = timing - static_cast<double>(e);
    // Where this character's own start bit puts it, for the period's slope.
    const auto bit = static_cast<std::int64_t>(m_plan.bitSamples);
    std::int64_t heard = e;
    double loudest = contrast(e, bitLength);
    for (std::int64_t t = e - bit / 4; t <= e + bit / 4; ++t) {
        if (t < m_base || t + bitOffset(bitLength, 6) >= m_total)
            continue;
        if (const double f = contrast(t, bitLength); f > loudest) {
            loudest = f;
            heard = t;
        }
    }
    fillMissedSlots();
    const bool settling = m_burst->run.count + 1 == kRunForSlope;
    accept(c, j, heard);
    m_burst->phase = phase;
    // The run's first characters were placed by a pair's spacing: read them again on its slope.
    if (settling && m_burst->run.count == kRunForSlope)
        rereadBefore(c.start);
    return true;
}

void FrameReader::run()
{
    const auto bit = static_cast<std::int64_t>(m_plan.bitSamples);
    for (;;) {
        if (m_burst && m_pos - m_burst->lastStop > m_gap)
            closeBurst();
        if (m_pending && m_pos - m_pending->first.start > m_pairing + bit)
            dropUnconfirmed();
        if ((!m_ended && m_pos + m_lookahead >= m_total) || m_pos >= m_total)
            break;
        const Step step = tryPredictedSlot();
        if (step == Step::Wait)
            break;
        if (step == Step::Hunt)
            hunt();
    }
    trimHistory();
}

void FrameReader::dropUnconfirmed()
{
    // No second frame came: the lone one was noise. Look again from half a bit after it started.
    const auto bit = static_cast<std::int64_t>(m_plan.bitSamples);
    const std::int64_t from = m_pending->first.start + bit / 2;
    m_pending.reset();
    m_minStart = from;
    m_pos = std::max<std::int64_t>(from - bit, m_base);
}

FrameReader::Step FrameReader::tryPredictedSlot()
{
    if (!m_burst || m_burst->triedNext)
        return Step::Hunt;
    // Where the period puts the next character; before it is known, where the earliest streamed one
    // (1 stop bit) would start.
    const auto bit = static_cast<std::int64_t>(m_plan.bitSamples);
    const std::int64_t slot = m_burst->period > 0 ? nextExpected() : m_burst->lastStart + 7 * bit;
    if (m_pos < slot - bit) {
        if (!m_burst->busy)
            return Step::Hunt;
        m_pos = slot - bit;
    }
    // The slot's frame, up to a bit later, must have arrived before it is judged.
    if (!m_ended && slot + 2 * bit + m_lookahead >= m_total)
        return Step::Wait;
    if (tryExpected())
        return Step::Continue;
    return m_burst->busy ? Step::Continue : Step::Hunt;
}

void FrameReader::hunt()
{
    const ToneFeature& f = at(m_pos);
    if (m_needMark) {
        m_needMark = !(f.mark > f.space && f.mark > kTrigger);
        ++m_pos;
        return;
    }
    const FrameCandidate c = f.space > f.mark && f.space > kTrigger ? search(m_pos) : FrameCandidate{};
    if (!c.valid) {
        ++m_pos;
        return;
    }
    const Judgement j = judge(c.mark, c.space);
    if (acceptHunted(c, j) || framingError(c, j))
        return;
    // Every start position up to a bit past the trigger has been weighed.
    const auto bit = static_cast<std::int64_t>(m_plan.bitSamples);
    m_minStart = std::max(m_minStart, m_pos + bit + 1);
    m_pos += bit;
}

bool FrameReader::acceptHunted(const FrameCandidate& c, const Judgement& j)
{
    // Start and stop bit must each carry a fair share of the frame's energy: a carrier coming up
    // after silence otherwise looks like a frame of marks behind a start bit of noise. And the bit
    // before must not be space: else this is a frame read a bit late, its start bit taken from the
    // first data bit.
    const bool framed = j.start > 0 && j.stop > 0 && c.before > -kEdgeShare * j.level;
    const bool edges = j.startLevel >= kEdgeShare * j.level && j.stopLevel >= kEdgeShare * j.level;
    // Inside a burst its characters' level is the yardstick; a new burst has only the frame's own.
    const float reference = m_burst && m_burst->frames.frames.size() >= 2 ? m_burst->level : j.level;
    const int weak = weakBits(c.mark, c.space, reference);
    // How far behind the last character this one starts, in bits.
    const bool close =
        m_burst &&
        static_cast<double>(c.start - m_plan.window - m_burst->lastStop) / m_plan.bitSamples <= kCloseBits;
    if (framed && close && clears(j, weak, kInBurst, kInBurstLevelShare * reference)) {
        accept(c, j);
        return true;
    }
    if (!framed || !edges)
        return false;
    if (m_burst && clears(j, weak, kNearBurst, kNearBurstLevelShare * reference)) {
        accept(c, j);
        return true;
    }
    const bool paired = clears(j, weak, kPaired);
    if (paired && acceptPair(c, j))
        return true;
    if (clears(j, weak, kAlone)) {
        m_pending.reset();
        accept(c, j);
        return true;
    }
    if (!m_pending && paired) {
        m_pending.emplace(c, j);
        skipPast(c);
        return true;
    }
    return false;
}

bool FrameReader::acceptPair(const FrameCandidate& c, const Judgement& j)
{
    // Two weak frames make a burst only back to back, as a sender streams them: 7, 7.5 or 8 bits
    // apart (1, 1.5 or 2 stop bits). A carrier coming up behind noise rarely fakes that.
    const std::int64_t period = m_pending ? backToBack(c.start - m_pending->first.start) : 0;
    if (period == 0)
        return false;
    accept(m_pending->first, m_pending->second);
    m_pending.reset();
    accept(c, j);
    m_burst->setPeriod(static_cast<double>(period));
    rereadBefore(c.start);
    return true;
}

bool FrameReader::framingError(const FrameCandidate& c, const Judgement& j)
{
    if (!m_burst || !(j.start > kClear && j.stop < -kClear && j.data > 5 * kClear))
        return false;
    // Space where the stop bit belongs: a break or a garbled frame. Like a UART, wait for mark before
    // hunting again, so the rest of a long space is not read as characters.
    ++m_burst->frames.framingErrors;
    m_needMark = true;
    m_pos = c.start + bitOffset(c.bitLength, 6);
    m_minStart = m_pos;
    return true;
}

void FrameReader::trimHistory()
{
    // Keep what a later search may still look back at, and a few characters for a re-read.
    const auto bit = static_cast<std::int64_t>(m_plan.bitSamples);
    std::int64_t keep = m_pos - kHistoryBits * bit;
    if (m_pending)
        keep = std::min(keep, m_pending->first.start - 2 * bit);
    if (keep - m_base > kTrimSamples) {
        m_features.erase(m_features.begin(), m_features.begin() + (keep - m_base));
        m_differences.erase(m_differences.begin(), m_differences.begin() + (keep - m_base));
        m_base = keep;
    }
}

} // namespace quillfen::tty
