// How recordings are decoded, and why.
//
// 1. Baseband (internal/tone_bank): one FIR with the mixing folded into its taps takes the input to
//    complex baseband round 1600 Hz at 1.0-1.33 kHz, so everything after it costs the same at 8 and
//    192 kHz.
// 2. Matched filters (internal/tone_bank): a filter integrating one bit is the optimum for a tone of
//    unknown phase in white noise. A sender 3 % off would turn a fixed filter's phase by more than a
//    cycle in a bit, so every 32 ms a spectrum on a 10 Hz grid over +-4 % of each tone, averaged over
//    0.6 s, places the filters on the sender's real tones (peak interpolated). Energies are divided by
//    the noise floor measured between the tones: every decision is relative to it, so -55 dBFS and
//    clipping decode alike and no level is a threshold.
// 3. Frames (internal/frame_reader): a window turning to space starts a search over start positions
//    at 1/22-bit steps and five bit lengths (+-3 %) for the largest soft energy contrast of the bit
//    before, start bit, five data bits and stop bit. A burst keeps the bit length its frames chose
//    (drift across a character) and, once characters come back to back, reads the next one where the
//    period puts it, pulled only part way towards the local peak: timing then comes from the whole run
//    (the slope through its start bits) rather than from one noisy start bit. A slot that speech or a
//    codec garbled keeps its place, and is read as best it can be when the run goes on behind it.
//    Data bits: the louder tone (non-coherent FSK). A lone frame must be clear in every bit; two in a
//    row, or one inside a burst, may be weaker. That keeps noise, speech and dialling silent while
//    weak bursts still decode.
// 4. Choice: 45.45 and 50 baud are read in parallel and, like the channels of a file, compete burst
//    by burst on summed frame quality.
// 5. Printing (shift_choice): shifts hold until LTRS or FIGS (optionally until a space). Which shift
//    each character prints in is chosen over the whole message against a letter-pair model of English
//    and a figure model of numbers, at the cost of the bits that would have to be misheard; so at low
//    SNR one lost or false shift does not garble what follows, and at a clear signal nothing is ever
//    changed.
#include "tty/decoder.h"

#include "tty/internal/frame_reader.h"
#include "tty/internal/tone_bank.h"
#include "tty/shift_choice.h"
#include "tty/tones.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace quillfen::tty {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

BaudPlan planFor(double baud, double rate)
{
    return {baud, rate / baud, static_cast<int>(std::lround(rate / baud))};
}

std::vector<double> baudsFor(BaudRate b)
{
    switch (b) {
    case BaudRate::Baud45:
        return {kBaud45};
    case BaudRate::Baud50:
        return {kBaud50};
    case BaudRate::Auto:
        break;
    }
    return {kBaud45, kBaud50};
}

// A sample no recording can hold: NaN, an infinity, or more than 24 dB over full scale (a float
// file may go past 1.0 a little, never this far). One such sample must not flood the filters and
// the noise floor, so it counts as a dropout: silence for that sample alone.
constexpr float kAbsurdSample = 16.0F;

bool isAbsurd(float sample)
{
    return !(std::fabs(sample) <= kAbsurdSample); // NaN fails every comparison
}

// One channel through baseband, filter bank and a frame reader per baud.
class ChannelDecoder
{
public:
    ChannelDecoder(double sampleRate, const std::vector<double>& bauds) : m_baseband(sampleRate)
    {
        std::vector<BaudPlan> plans;
        plans.reserve(bauds.size());
        for (double b : bauds)
            plans.push_back(planFor(b, m_baseband.outputRate()));
        m_bank = std::make_unique<ToneBank>(m_baseband.outputRate(), plans);
        for (const BaudPlan& p : plans)
            m_readers.emplace_back(p, m_baseband.outputRate());
        m_features.resize(plans.size());
        m_bursts.resize(plans.size());
    }

    void push(std::span<const float> samples)
    {
        m_baseband.push(withDropouts(samples), m_complex);
        m_bank->push(m_complex, m_features);
        m_complex.clear();
        feed();
    }

    // The samples as they are, or, when some are absurd, a copy with those silenced.
    std::span<const float> withDropouts(std::span<const float> samples)
    {
        if (std::none_of(samples.begin(), samples.end(), isAbsurd))
            return samples;
        m_cleaned.assign(samples.begin(), samples.end());
        std::replace_if(m_cleaned.begin(), m_cleaned.end(), isAbsurd, 0.0F);
        return m_cleaned;
    }

    void finish()
    {
        m_baseband.finish(m_complex);
        m_bank->push(m_complex, m_features);
        m_bank->finish(m_features);
        m_complex.clear();
        feed();
        for (std::size_t p = 0; p < m_readers.size(); ++p) {
            m_readers[p].finish();
            collect(p);
        }
    }

    // Baseband sample index to seconds of input.
    double seconds(std::int64_t n) const { return static_cast<double>(n) / m_baseband.outputRate(); }
    double rate() const { return m_baseband.outputRate(); }
    const std::vector<std::vector<BurstFrames>>& bursts() const { return m_bursts; }
    const BurstFrames* openBurst(std::size_t plan) const { return m_readers[plan].openBurst(); }

private:
    void feed()
    {
        for (std::size_t p = 0; p < m_readers.size(); ++p) {
            m_readers[p].push(m_features[p]);
            m_features[p].clear();
            collect(p);
        }
    }
    void collect(std::size_t p)
    {
        for (BurstFrames& b : m_readers[p].takeBursts())
            m_bursts[p].push_back(std::move(b));
    }

    Baseband m_baseband;
    std::unique_ptr<ToneBank> m_bank;
    std::vector<FrameReader> m_readers;
    std::vector<std::complex<float>> m_complex;
    std::vector<float> m_cleaned;
    std::vector<std::vector<ToneFeature>> m_features;
    std::vector<std::vector<BurstFrames>> m_bursts; // per plan
};

// One way a burst was heard: by one channel at one baud.
struct BurstReading
{
    int source; // channel * plans + plan
    double baud;
    double start, end; // seconds
    const BurstFrames* frames;
    double samplesPerSecond; // of the frames' indices
};

// The readings [first, last) overlap: which source heard them best? Compared over the time every
// source's readings cover: a reading that runs on past the others (one at the wrong baud fitting a
// cut-off frame, say) gains nothing by it.
int bestSource(std::span<const BurstReading> group, int sources)
{
    std::vector<double> first(static_cast<std::size_t>(sources), kInfinity), last(first.size(), -kInfinity);
    for (const BurstReading& r : group) {
        const auto s = static_cast<std::size_t>(r.source);
        first[s] = std::min(first[s], r.start);
        last[s] = std::max(last[s], r.end);
    }
    double from = -kInfinity, to = kInfinity;
    for (std::size_t s = 0; s < first.size(); ++s) {
        if (first[s] != kInfinity) {
            from = std::max(from, first[s]);
            to = std::min(to, last[s]);
        }
    }
    // A frame that starts just before the common span still counts: its source heard the span's start.
    constexpr double kLeadSeconds = 0.1;
    std::vector<double> score(static_cast<std::size_t>(sources), -kInfinity);
    for (const BurstReading& r : group) {
        double& sum = score[static_cast<std::size_t>(r.source)];
        sum = std::max(sum, 0.0);
        for (const Frame& f : r.frames->frames) {
            const double t = static_cast<double>(f.start) / r.samplesPerSecond;
            if (t >= from - kLeadSeconds && t <= to)
                sum += f.quality;
        }
    }
    return static_cast<int>(std::max_element(score.begin(), score.end()) - score.begin());
}

// Overlapping bursts from different channels and bauds are one transmission heard several ways: keep
// the way with the highest summed frame quality over each overlapping group.
std::vector<const BurstReading*> chooseReadings(std::vector<BurstReading>& all, int sources)
{
    std::sort(all.begin(), all.end(),
              [](const BurstReading& a, const BurstReading& b) { return a.start < b.start; });
    std::vector<const BurstReading*> chosen;
    for (std::size_t i = 0; i < all.size();) {
        std::size_t j = i + 1;
        double end = all[i].end;
        for (; j < all.size() && all[j].start <= end; ++j)
            end = std::max(end, all[j].end);
        const int best = bestSource(std::span<const BurstReading>(all).subspan(i, j - i), sources);
        for (std::size_t k = i; k < j; ++k)
            if (all[k].source == best)
                chosen.push_back(&all[k]);
        i = j;
    }
    return chosen;
}

DecodedText print(const std::vector<const BurstReading*>& chosen, const DecodeOptions& options)
{
    std::vector<HeardCode> heard;
    for (const BurstReading* r : chosen)
        for (const Frame& f : r->frames->frames)
            heard.push_back({f.code, f.weakestBitLlr, f.bitErrorLlr});
    const std::vector<std::string> printed = printHeard(heard, options.unshiftOnSpace);
    DecodedText result;
    std::size_t next = 0;
    for (const BurstReading* r : chosen) {
        Burst burst{r->start, r->baud, {}};
        for (std::size_t k = 0; k < r->frames->frames.size(); ++k)
            burst.text += printed[next++];
        result.characters += static_cast<int>(r->frames->frames.size());
        result.framingErrors += r->frames->framingErrors;
        result.text += burst.text;
        if (!burst.text.empty())
            result.bursts.push_back(std::move(burst));
    }
    return result;
}

} // namespace

struct Decoder::Channels
{
    std::vector<double> bauds;
    std::vector<ChannelDecoder> decoders;
};

Decoder::Decoder(double sampleRate, int channels, const DecodeOptions& options)
    : m_channels(std::make_unique<Channels>()), m_options(options)
{
    m_channels->bauds = baudsFor(options.baud);
    m_channels->decoders.reserve(static_cast<std::size_t>(channels));
    for (int c = 0; c < channels; ++c)
        m_channels->decoders.emplace_back(sampleRate, m_channels->bauds);
}

Decoder::~Decoder() = default;

void Decoder::push(int channel, std::span<const float> samples)
{
    m_channels->decoders[static_cast<std::size_t>(channel)].push(samples);
}

DecodedText Decoder::finish()
{
    const std::vector<double>& bauds = m_channels->bauds;
    const int plans = static_cast<int>(bauds.size());
    std::vector<BurstReading> all;
    for (std::size_t c = 0; c < m_channels->decoders.size(); ++c) {
        ChannelDecoder& channel = m_channels->decoders[c];
        channel.finish();
        for (int p = 0; p < plans; ++p)
            for (const BurstFrames& b : channel.bursts()[static_cast<std::size_t>(p)])
                all.push_back({static_cast<int>(c) * plans + p, bauds[static_cast<std::size_t>(p)],
                               channel.seconds(b.start), channel.seconds(b.end), &b, channel.rate()});
    }
    const int sources = static_cast<int>(m_channels->decoders.size()) * plans;
    return print(chooseReadings(all, sources), m_options);
}

std::vector<BurstSoFar> Decoder::readSoFar() const
{
    // The same choice and printing as finish(), over the closed bursts and the open ones so far.
    const std::vector<double>& bauds = m_channels->bauds;
    const int plans = static_cast<int>(bauds.size());
    std::vector<BurstReading> all;
    std::vector<const BurstFrames*> open;
    for (std::size_t c = 0; c < m_channels->decoders.size(); ++c) {
        const ChannelDecoder& channel = m_channels->decoders[c];
        for (int p = 0; p < plans; ++p) {
            const auto plan = static_cast<std::size_t>(p);
            const int source = static_cast<int>(c) * plans + p;
            const auto add = [&](const BurstFrames& b) {
                all.push_back({source, bauds[plan], channel.seconds(b.start), channel.seconds(b.end), &b,
                               channel.rate()});
            };
            for (const BurstFrames& b : channel.bursts()[plan])
                add(b);
            if (const BurstFrames* b = channel.openBurst(plan); b && !b->frames.empty()) {
                add(*b);
                open.push_back(b);
            }
        }
    }
    const int sources = static_cast<int>(m_channels->decoders.size()) * plans;
    const std::vector<const BurstReading*> chosen = chooseReadings(all, sources);
    std::vector<HeardCode> heard;
    for (const BurstReading* r : chosen)
        for (const Frame& f : r->frames->frames)
            heard.push_back({f.code, f.weakestBitLlr, f.bitErrorLlr});
    const std::vector<std::string> printed = printHeard(heard, m_options.unshiftOnSpace);
    std::vector<BurstSoFar> result;
    std::size_t next = 0;
    for (const BurstReading* r : chosen) {
        BurstSoFar& burst = result.emplace_back();
        burst.startSeconds = r->start;
        burst.open = std::find(open.begin(), open.end(), r->frames) != open.end();
        for (const Frame& f : r->frames->frames)
            burst.characters.push_back({static_cast<double>(f.start) / r->samplesPerSecond, printed[next++]});
    }
    return result;
}

std::size_t Decoder::progress() const
{
    // Closed bursts weigh more than any open burst's characters: closing one always shows.
    constexpr std::size_t kPerClosedBurst = 1'000'003;
    std::size_t count = 0;
    for (const ChannelDecoder& channel : m_channels->decoders)
        for (std::size_t p = 0; p < m_channels->bauds.size(); ++p) {
            count += channel.bursts()[p].size() * kPerClosedBurst;
            if (const BurstFrames* b = channel.openBurst(p))
                count += b->frames.size();
        }
    return count;
}

std::string formatOffset(double seconds)
{
    const auto tenths = static_cast<long long>(std::floor(std::max(0.0, seconds) * 10.0 + 1e-6));
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "[%02lld:%02lld.%lld]", tenths / 600, tenths / 10 % 60, tenths % 10);
    return buffer;
}

} // namespace quillfen::tty
