#include "conversion/tty_frame_reader.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

namespace quillfen::tty {
namespace {

// Bit lengths tried: nominal and +-1.5 %, +-3 %.
constexpr double kScaleStep = 0.015;
// A window whose space energy is this far over the noise floor and over the mark may hold a start bit.
constexpr float kTrigger = 2.0F;
// Contrast of one bit: (mark - space) / (mark + space + kSoftness), in noise-floor units. The softness
// keeps bits at the noise floor near 0 instead of +-1.
constexpr float kSoftness = 2.0F;
// Frame quality (sum of the seven contrasts, start and stop with their expected sign) needed to accept
// a frame inside a burst, to start a burst alone, or as one of two in a row.
constexpr float kInBurst = 1.5F, kInBurstLevel = 1.5F;
constexpr float kNearBurst = 2.5F, kNearBurstLevel = 3.5F;
constexpr float kAlone = 3.0F, kAloneLevel = 5.0F;
constexpr float kPaired = 2.5F, kPairedLevel = 3.0F;
constexpr float kEdgeShare = 0.3F, kWeakShare = 0.25F;
// A frame exactly where a back-to-back character is due needs less; slots are tried this many
// periods on after the last character read.
constexpr float kOnTime = 1.0F;
constexpr int kMissedSlots = 3;
constexpr double kPull = 0.3;
// Characters 7 to 8 bits apart (1 to 2 stop bits), give or take this, were sent back to back.
constexpr double kStreamTolerance = 0.035;
// Characters this close (in bits of idle between them) are one typed run.
constexpr double kCloseBits = 3.0;
// A break: start and stop bit both clearly space, the data bits clearly carried.
constexpr float kClear = 0.5F;
constexpr double kGapSeconds = 1.0;

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

} // namespace

FrameReader::FrameReader(const BaudPlan& plan, double rate)
    : m_plan(plan), m_gap(static_cast<int>(std::lround(kGapSeconds * rate))),
      m_pairing(static_cast<int>(std::lround(kCloseBits * plan.bitSamples)))
{
    for (int k = 0; k < kScales; ++k)
        for (int i = 0; i < 8; ++i)
            m_offsets[static_cast<std::size_t>(k)][static_cast<std::size_t>(i)] =
                std::llround(i * plan.bitSamples * (1.0 + (k - kNominalScale) * kScaleStep));
    m_lookahead =
        static_cast<int>(std::ceil(plan.bitSamples)) + static_cast<int>(bitOffset(kScales - 1, 6)) + 2;
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
    if (m_pending && m_pending->second.quality >= kAlone && m_pending->second.level >= kAloneLevel)
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
    if (m_burst)
        m_done.push_back(std::move(m_burst->frames));
    m_burst.reset();
}

double FrameReader::contrast(std::int64_t e, int scale) const
{
    // Start bit space, stop bit mark, data bits either: the energy contrast they add up to. The bit
    // before counts too (mark, or nothing after silence): without it a character whose first data
    // bit is space reads as well one bit late, its start bit taken for idle.
    const auto& off = m_offsets[static_cast<std::size_t>(scale)];
    const float* d = m_differences.data() + (e - m_base);
    float f = (e - off[1] >= m_base ? d[-off[1]] : 0.0F) - d[0] + d[off[6]];
    for (std::size_t i = 1; i <= 5; ++i)
        f += std::abs(d[off[i]]);
    return f;
}

FrameReader::Candidate FrameReader::candidate(std::int64_t e, int scale) const
{
    Candidate c;
    c.start = e;
    c.scale = scale;
    const ToneFeature& before = at(std::max(m_base, e - bitOffset(scale, 1)));
    c.before = before.mark - before.space;
    for (int i = 0; i < 7; ++i) {
        const ToneFeature& t = at(e + bitOffset(scale, i));
        c.mark[static_cast<std::size_t>(i)] = t.mark;
        c.space[static_cast<std::size_t>(i)] = t.space;
    }
    c.valid = true;
    return c;
}

int FrameReader::burstScale() const
{
    if (!m_burst || m_burst->frames.frames.size() < 2)
        return kNominalScale;
    const auto& s = m_burst->scaleScore;
    return static_cast<int>(std::max_element(s.begin(), s.end()) - s.begin());
}

FrameReader::Candidate FrameReader::search(std::int64_t trigger)
{
    const auto bit = static_cast<std::int64_t>(m_plan.bitSamples);
    const std::int64_t lo = std::max({trigger - bit / 2, m_minStart, m_base}), hi = trigger + bit;
    std::array<double, kScales> best;
    std::array<std::int64_t, kScales> where{};
    best.fill(-1e300);
    // The nominal bit length over the whole range; the others round its peak (the start bit places
    // a frame; the bit length only moves its later bits).
    constexpr int kNominal = kNominalScale;
    for (int k : {kNominal, 0, 1, 3, 4}) {
        const auto& off = m_offsets[static_cast<std::size_t>(k)];
        const bool around = k != kNominal && best[kNominal] > -1e299;
        const std::int64_t from = around ? std::max(lo, where[kNominal] - 4) : lo;
        const std::int64_t to = around ? std::min(hi, where[kNominal] + 4) : hi;
        for (std::int64_t e = from; e <= to && e + off[6] < m_total; ++e) {
            const double f = contrast(e, k);
            if (f > best[static_cast<std::size_t>(k)]) {
                best[static_cast<std::size_t>(k)] = f;
                where[static_cast<std::size_t>(k)] = e;
            }
        }
    }
    const double top = *std::max_element(best.begin(), best.end());
    if (top < -1e299)
        return {};
    // Inside a burst the bit length its earlier frames chose weighs in: one noisy frame cannot pull it.
    const bool burstTiming = m_burst && m_burst->frames.frames.size() >= 2;
    double chosen = -1e300;
    int scale = 0;
    for (int k = 0; k < kScales; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (best[i] < -1e299)
            continue;
        const double score = best[i] - top + (burstTiming ? m_burst->scaleScore[i] : 0.0);
        if (score > chosen) {
            chosen = score;
            scale = k;
        }
    }
    Candidate c = candidate(where[static_cast<std::size_t>(scale)], scale);
    c.contrast = best[static_cast<std::size_t>(scale)];
    for (int k = 0; k < kScales; ++k)
        c.scaleDelta[static_cast<std::size_t>(k)] =
            best[static_cast<std::size_t>(k)] < -1e299 ? -1e9 : best[static_cast<std::size_t>(k)] - top;
    return c;
}

Frame FrameReader::frame(const Candidate& c, const Judgement& j, std::int64_t firstSample) const
{
    // Non-coherent FSK at per-bit SNR a: a bit's log-likelihood ratio is about 2 sqrt(a) (sqrt(mark) -
    // sqrt(space)), and noise flips a bit with probability about exp(-a / 2) / 2.
    const float a = std::max(m_burst->level, 0.5F);
    float weakest = 1e9F;
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
    // back from the character that locked it, and on before the burst while characters are there.
    const int scale = burstScale();
    std::vector<Frame>& frames = m_burst->frames.frames;
    const std::int64_t firstKnown = frames.front().start + m_plan.window - 1;
    const float level = m_burst->level;
    std::vector<Frame> reread;
    for (std::int64_t slot = lockStart - m_burst->period; slot - 2 * bitOffset(scale, 1) >= m_base;
         slot -= m_burst->period) {
        const Candidate c = candidate(slot, scale);
        const Judgement j = judge(c.mark, c.space);
        const bool inside = slot >= firstKnown - 2;
        // Before the burst as first heard, a frame must be as clear as one that starts a burst.
        const bool clear = weakBits(c.mark, c.space, level) <= 1 && j.startLevel >= kEdgeShare * level &&
                           j.stopLevel >= kEdgeShare * level && c.before >= -kEdgeShare * level;
        if (!onTime(c, j) || (!inside && !clear))
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

void FrameReader::accept(const Candidate& c, const Judgement& j)
{
    const std::int64_t stop = c.start + bitOffset(c.scale, 6);
    const std::int64_t firstSample = c.start - m_plan.window + 1;
    if (!m_burst) {
        // (Burst{}: clang cannot default-construct a nested class in emplace() while it is incomplete.)
        m_burst.emplace(Burst{});
        m_burst->frames.start = firstSample;
    } else if (!m_burst->frames.frames.empty()) {
        // Characters sent back to back repeat at a fixed period: once two spacings agree, the next
        // character is looked for there first.
        const std::int64_t spacing = c.start - m_burst->lastStart;
        if (std::abs(spacing - m_burst->spacing) <= 2)
            m_burst->period = spacing;
        m_burst->spacing = spacing;
    }
    m_burst->lastStart = c.start;
    m_burst->phase = 0.0;
    m_burst->triedNext = false;
    m_burst->missed = 0;
    m_burst->level = m_burst->frames.frames.empty() ? j.level : 0.8F * m_burst->level + 0.2F * j.level;
    m_burst->frames.frames.push_back(frame(c, j, firstSample));
    m_burst->frames.end = stop;
    m_burst->lastStop = stop;
    for (int k = 0; k < kScales; ++k)
        m_burst->scaleScore[static_cast<std::size_t>(k)] += c.scaleDelta[static_cast<std::size_t>(k)];
    const auto bit = static_cast<std::int64_t>(m_plan.bitSamples);
    m_pos = std::max(m_pos, stop + bit / 4);
    m_minStart = stop + static_cast<std::int64_t>(0.6 * m_plan.bitSamples);
}

std::int64_t FrameReader::backToBack(std::int64_t spacing) const
{
    const double bits = static_cast<double>(spacing) / m_plan.bitSamples;
    return bits >= 7.0 * (1 - kStreamTolerance) && bits <= 8.0 * (1 + kStreamTolerance) ? spacing : 0;
}

bool FrameReader::tryExpected()
{
    const int scale = burstScale();
    if (m_burst->period == 0) {
        // After the first character of a burst: is the second streamed right behind it? Its start bit
        // is searched round 7.5 bits on, the range 1 to 2 stop bits at +-3 % covers.
        m_burst->triedNext = true;
        Candidate c =
            search(m_burst->lastStart + static_cast<std::int64_t>(std::llround(7.5 * m_plan.bitSamples)));
        std::int64_t period = c.valid ? backToBack(c.start - m_burst->lastStart) : 0;
        if (period == 0)
            return false;
        // Near a nominal spacing the noise in the peak is larger than the sender's error: snap to it.
        for (const double bits : {7.0, 7.5, 8.0}) {
            const auto nominal = static_cast<std::int64_t>(std::llround(bits * m_plan.bitSamples));
            if (std::abs(period - nominal) <= 2) {
                const std::array<double, kScales> delta = c.scaleDelta;
                c = candidate(m_burst->lastStart + nominal, kNominalScale);
                c.scaleDelta = delta;
                period = nominal;
            }
        }
        // Not yet known to be a stream: the frame must stand as one inside a burst would, start bit
        // and stop bit each clearly heard.
        const Judgement j = judge(c.mark, c.space);
        const float level = m_burst->level;
        if (!onTime(c, j) || weakBits(c.mark, c.space, level) > 1 || j.startLevel < kEdgeShare * level ||
            j.stopLevel < kEdgeShare * level || c.before < -kEdgeShare * level)
            return false;
        accept(c, j);
        m_burst->period = period;
        rereadBefore(c.start);
        return true;
    }
    const std::int64_t expected = nextExpected();
    m_burst->triedNext = ++m_burst->missed >= kMissedSlots;
    return tryExpectedAt(expected, scale);
}

bool FrameReader::onTime(const Candidate& c, const Judgement& j) const
{
    // In a back-to-back run a character is due here: take the best reading of it unless the line has
    // gone idle (no start bit) or quiet.
    return j.start > 0 && j.stop > -kClear && j.quality >= kOnTime && j.level >= 0.3F * m_burst->level &&
           weakBits(c.mark, c.space, m_burst->level) <= 3;
}

bool FrameReader::tryExpectedAt(std::int64_t expected, int scale)
{
    if (expected - 2 < m_minStart || expected + 2 + bitOffset(scale, 6) >= m_total)
        return false;
    // Within two samples of the prediction the local peak is mostly noise: move only part way to it.
    std::int64_t peak = expected;
    for (std::int64_t t = expected - 2; t <= expected + 2; ++t)
        if (contrast(t, scale) > contrast(peak, scale))
            peak = t;
    const double timing =
        static_cast<double>(expected) + kPull * static_cast<double>(peak - expected) + m_burst->phase;
    const auto e = static_cast<std::int64_t>(std::llround(timing));
    // Taken where expected unless the free search finds a frame clearly better than noise allows.
    const Candidate free = search(expected);
    if (free.valid && contrast(e, scale) < free.contrast - 2.0 * m_burst->level)
        return false;
    Candidate c = candidate(e, scale);
    c.scaleDelta = free.scaleDelta;
    const Judgement j = judge(c.mark, c.space);
    if (onTime(c, j)) {
        const double phase = timing - static_cast<double>(e);
        accept(c, j);
        m_burst->phase = phase;
        return true;
    }
    return false;
}

void FrameReader::run()
{
    const auto bit = static_cast<std::int64_t>(m_plan.bitSamples);
    for (;;) {
        if (m_burst && m_pos - m_burst->lastStop > m_gap)
            closeBurst();
        if (m_pending && m_pos - m_pending->first.start > m_pairing + bit) {
            // No second frame came: the lone one was noise. Look again from half a bit after it started.
            const std::int64_t from = m_pending->first.start + bit / 2;
            m_pending.reset();
            m_minStart = from;
            m_pos = std::max<std::int64_t>(from - bit, m_base);
        }
        if (!m_ended && m_pos + m_lookahead >= m_total)
            break;
        if (m_pos >= m_total)
            break;

        if (m_burst && !m_burst->triedNext) {
            const std::int64_t slot = m_burst->period > 0 ? nextExpected() : m_burst->lastStart + 7 * bit;
            if (m_pos >= slot - bit) {
                // The slot's frame, up to a bit later, must have arrived before it is judged.
                if (!m_ended && slot + 2 * bit + m_lookahead >= m_total)
                    break;
                if (tryExpected())
                    continue;
            }
        }
        const ToneFeature& f = at(m_pos);
        if (m_needMark) {
            m_needMark = !(f.mark > f.space && f.mark > kTrigger);
            ++m_pos;
            continue;
        }
        if (!(f.space > f.mark && f.space > kTrigger)) {
            ++m_pos;
            continue;
        }
        const Candidate c = search(m_pos);
        if (!c.valid) {
            ++m_pos;
            continue;
        }
        const Judgement j = judge(c.mark, c.space);
        // Start and stop bit must each carry a fair share of the frame's energy: a carrier coming up
        // after silence otherwise looks like a frame of marks behind a start bit of noise.
        // ... and the bit before must not be space: else this is a frame read a bit late, its start bit
        // taken from the first data bit.
        const bool framed = j.start > 0 && j.stop > 0 && c.before > -kEdgeShare * j.level;
        const bool edges = j.startLevel >= kEdgeShare * j.level && j.stopLevel >= kEdgeShare * j.level;
        // How far behind the last character this one starts, in bits; huge outside a burst.
        const double gap =
            m_burst ? static_cast<double>(c.start - m_plan.window - m_burst->lastStop) / m_plan.bitSamples
                    : 1e9;
        // Two weak frames make a burst only back to back, as a sender streams them: 7, 7.5 or 8 bits
        // apart (1, 1.5 or 2 stop bits). A carrier coming up behind noise rarely fakes that.
        const bool pairs = m_pending && backToBack(c.start - m_pending->first.start) > 0;
        // Inside a burst its characters' level is the yardstick; a new burst has only the frame's own.
        const bool inBurst = gap <= 1e8;
        const float reference = inBurst && m_burst->frames.frames.size() >= 2 ? m_burst->level : j.level;
        const int weak = weakBits(c.mark, c.space, reference);
        if (framed && gap <= kCloseBits && weak <= 1 && j.quality >= kInBurst &&
            j.level >= std::max(kInBurstLevel, 0.35F * reference)) {
            accept(c, j);
            continue;
        }
        if (framed && edges) {
            if (inBurst && weak <= 1 && j.quality >= kNearBurst &&
                j.level >= std::max(kNearBurstLevel, 0.5F * reference)) {
                accept(c, j);
                continue;
            }
            const bool paired = weak <= 1 && j.quality >= kPaired && j.level >= kPairedLevel;
            if (pairs && paired) {
                const std::int64_t period = backToBack(c.start - m_pending->first.start);
                accept(m_pending->first, m_pending->second);
                m_pending.reset();
                accept(c, j);
                m_burst->period = period;
                rereadBefore(c.start);
                continue;
            }
            if (weak == 0 && j.quality >= kAlone && j.level >= kAloneLevel) {
                m_pending.reset();
                accept(c, j);
                continue;
            }
            if (!m_pending && paired) {
                m_pending.emplace(c, j);
                const std::int64_t stop = c.start + bitOffset(c.scale, 6);
                m_pos = stop + bit / 4;
                m_minStart = stop + static_cast<std::int64_t>(0.6 * m_plan.bitSamples);
                continue;
            }
        }
        if (inBurst && j.start > kClear && j.stop < -kClear && j.data > 5 * kClear) {
            // Space where the stop bit belongs: a break or a garbled frame. Like a UART, wait for
            // mark before hunting again, so the rest of a long space is not read as characters.
            ++m_burst->frames.framingErrors;
            m_needMark = true;
            m_pos = c.start + bitOffset(c.scale, 6);
            m_minStart = m_pos;
            continue;
        }
        // Every start position up to a bit past the trigger has been weighed.
        m_minStart = std::max(m_minStart, m_pos + bit + 1);
        m_pos += bit;
    }

    // Keep what a later search may still look back at, and a few characters for a re-read.
    std::int64_t keep = m_pos - 64 * bit;
    if (m_pending)
        keep = std::min(keep, m_pending->first.start - 2 * bit);
    if (keep - m_base > 65536) {
        m_features.erase(m_features.begin(), m_features.begin() + (keep - m_base));
        m_differences.erase(m_differences.begin(), m_differences.begin() + (keep - m_base));
        m_base = keep;
    }
}

} // namespace quillfen::tty
