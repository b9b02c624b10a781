// How recordings are decoded, and why.
//
// 1. Baseband (tty_tone_bank): one FIR with the mixing folded into its taps takes the input to complex
//    baseband round 1600 Hz at 1.0-1.33 kHz, so everything after it costs the same at 8 and 192 kHz.
// 2. Matched filters (tty_tone_bank): a filter integrating one bit is the optimum for a tone of unknown
//    phase in white noise. A sender 3 % off would turn a fixed filter's phase by more than a cycle in
//    a bit, so every 32 ms a spectrum on a 10 Hz grid over +-4 % of each tone, averaged over 0.6 s,
//    places the filters on the sender's real tones (peak interpolated). Energies are divided by the
//    noise floor measured between the tones: every decision is relative to it, so -55 dBFS and
//    clipping decode alike and no level is a threshold.
// 3. Frames (tty_frame_reader): a window turning to space starts a search over start positions at
//    1/22-bit steps and five bit lengths (+-3 %) for the largest soft energy contrast of the bit
//    before, start bit, five data bits and stop bit. A burst keeps the bit length its frames chose
//    (drift across a character) and, once characters come back to back, reads the next one where the
//    period puts it, pulled only part way towards the local peak: timing then comes from the whole run
//    rather than from one noisy start bit. Data bits: the louder tone (non-coherent FSK). A lone frame
//    must be clear in every bit; two in a row, or one inside a burst, may be weaker. That keeps noise,
//    speech and dialling silent while weak bursts still decode.
// 4. Choice: 45.45 and 50 baud are read in parallel and, like the channels of a file, compete burst
//    by burst on summed frame quality.
// 5. Printing: shifts hold until LTRS or FIGS (optionally until a space). Which shift each character
//    prints in is chosen over the whole message against a letter-pair model of English and a figure
//    model of numbers, at the cost of the bits that would have to be misheard; so at low SNR one lost
//    or false shift does not garble what follows, and at a clear signal nothing is ever changed.
#include "conversion/tty_decoder.h"

#include "conversion/tty_frame_reader.h"
#include "conversion/tty_tone_bank.h"
#include "platform/app_error.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sndfile.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillfen::tty {
namespace {

constexpr double kMinRate = 8000.0, kMaxRate = 192000.0;

constexpr unsigned kLtrs = 0b11111, kFigs = 0b11011, kSpace = 0b00100, kCr = 0b01000, kLf = 0b00010;

struct Shifted
{
    std::array<char, 32> letters{}, figures{};
};

// The first bit on the line is bit 0, so E = 00001 arrives as 1, 0, 0, 0, 0. '\0' prints nothing.
constexpr Shifted makeTable()
{
    Shifted t;
    const struct
    {
        unsigned code; // most significant bit first, as tables list them
        char letter, figure;
    } codes[] = {
        {0b00011, 'A', '-'}, {0b11001, 'B', '?'},  {0b01110, 'C', ':'},  {0b01001, 'D', '$'},
        {0b00001, 'E', '3'}, {0b01101, 'F', '!'},  {0b11010, 'G', '&'},  {0b10100, 'H', '#'},
        {0b00110, 'I', '8'}, {0b01011, 'J', '\''}, {0b01111, 'K', '('},  {0b10010, 'L', ')'},
        {0b11100, 'M', '.'}, {0b01100, 'N', ','},  {0b11000, 'O', '9'},  {0b10110, 'P', '0'},
        {0b10111, 'Q', '1'}, {0b01010, 'R', '4'},  {0b00101, 'S', '\0'}, {0b10000, 'T', '5'},
        {0b00111, 'U', '7'}, {0b11110, 'V', ';'},  {0b10011, 'W', '2'},  {0b11101, 'X', '/'},
        {0b10101, 'Y', '6'}, {0b10001, 'Z', '"'},
    };
    for (const auto& c : codes) {
        t.letters[c.code] = c.letter;
        t.figures[c.code] = c.figure;
    }
    return t;
}
constexpr Shifted kTable = makeTable();

BaudPlan planFor(double baud, double rate)
{
    return {baud, rate / baud, static_cast<int>(std::lround(rate / baud))};
}

std::vector<double> baudsFor(BaudRate b)
{
    switch (b) {
    case BaudRate::Baud45:
        return {45.45};
    case BaudRate::Baud50:
        return {50.0};
    case BaudRate::Auto:
        break;
    }
    return {45.45, 50.0};
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
        m_baseband.push(samples, m_complex);
        m_bank->push(m_complex, m_features);
        m_complex.clear();
        feed();
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
    std::vector<std::vector<ToneFeature>> m_features;
    std::vector<std::vector<BurstFrames>> m_bursts; // per plan
};

struct Candidate
{
    int source; // channel * plans + plan
    double baud;
    double start, end; // seconds
    const BurstFrames* frames;
    double samplesPerSecond; // of the frames' indices
};

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

struct Likelihoods
{
    std::array<std::array<float, 32>, 32> letters{}; // [previous letter code, or kSpace][code]
    std::array<float, 32> figures{};
};

Likelihoods makeLikelihoods()
{
    std::array<unsigned, 128> codeOf{};
    for (unsigned code = 0; code < 32; ++code)
        if (kTable.letters[code])
            codeOf[static_cast<unsigned char>(kTable.letters[code])] = code;
    std::array<std::array<float, 32>, 32> counts{};
    unsigned previous = kSpace;
    for (char c : kEnglish) {
        const unsigned code = c == ' ' ? kSpace : codeOf[static_cast<unsigned char>(c)];
        counts[previous][code] += 1.0F;
        previous = code;
    }
    Likelihoods l;
    for (unsigned p = 0; p < 32; ++p) {
        float total = 0.0F;
        for (unsigned c = 0; c < 32; ++c)
            if (kTable.letters[c] || c == kSpace)
                total += counts[p][c] + 0.5F;
        for (unsigned c = 0; c < 32; ++c)
            l.letters[p][c] = std::log((counts[p][c] + 0.5F) / total);
    }
    const std::string_view figures = "0123456789-.,:/$?()";
    const float perMille[] = {85, 85, 85, 85, 85, 85, 85, 85, 85, 85, 40, 30, 20, 15, 10, 10, 5, 3, 3};
    l.figures.fill(std::log(0.001F)); // ! # & ' " ; and the bell
    for (unsigned code = 0; code < 32; ++code)
        if (const auto i = figures.find(kTable.figures[code]);
            kTable.figures[code] && i != std::string_view::npos)
            l.figures[code] = std::log(perMille[i] / 1000.0F);
    return l;
}

// Prints frames as a TTY would, except where a shift was evidently misheard. Which shift each
// character is printed in is decided over the whole message (Viterbi over letters/figures): taking a
// received LTRS or FIGS for something else costs the log-likelihood of its least certain bit; a shift
// lost between two characters costs that of a bit error at the burst's level. Both are paid only
// when the characters that follow read far more like the other shift (English letters against
// numbers), which at a clear signal never happens.
class Printer
{
public:
    explicit Printer(bool unshiftOnSpace) : m_unshiftOnSpace(unshiftOnSpace) {}

    void add(const Frame& f) { m_frames.push_back(&f); }

    // One string per frame added, in order. Senders of both habits exist: unless told, the message
    // is read both ways and the reading that explains it better is kept (a sender that unshifts on
    // space repeats FIGS after spaces inside numbers and leaves LTRS out after them).
    std::vector<std::string> print() const
    {
        const std::size_t n = m_frames.size();
        std::vector<int> state(n), other(n);
        float cost = shiftStates(m_unshiftOnSpace, state);
        constexpr float kUnusualHabit = 1.0F;
        if (!m_unshiftOnSpace && shiftStates(true, other) + kUnusualHabit < cost)
            state.swap(other);
        std::vector<std::string> out(n);
        bool afterCr = false;
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned code = m_frames[i]->code;
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

private:
    // Viterbi over letters (0) and figures (1); fills the state each frame prints in and returns the
    // cost of that reading in nats.
    float shiftStates(bool unshiftOnSpace, std::vector<int>& state) const
    {
        static const Likelihoods likely = makeLikelihoods();
        constexpr float kShiftPrior = 2.3F;     // shifts are about a tenth of the characters sent
        constexpr float kRedundantShift = 2.0F; // a shift to where the receiver already is
        const std::size_t n = m_frames.size();
        std::vector<std::array<std::uint8_t, 2>> from(n);
        std::array<float, 2> cost{0.0F, n ? m_frames[0]->bitErrorLlr + kShiftPrior : 0.0F};
        for (std::size_t i = 0; i < n; ++i) {
            const Frame& f = *m_frames[i];
            // A shift lost just before this character.
            const float lost = f.bitErrorLlr + kShiftPrior;
            std::array<float, 2> next;
            for (std::size_t s = 0; s < 2; ++s) {
                const float stay = cost[s], swap = cost[1 - s] + lost;
                next[s] = std::min(stay, swap);
                from[i][s] = static_cast<std::uint8_t>(stay <= swap ? s : 1 - s);
            }
            const bool toLetters = f.code == kLtrs || (unshiftOnSpace && f.code == kSpace);
            if (toLetters || f.code == kFigs) {
                // The received shift decides, unless its weakest bit was misheard.
                const std::size_t told = toLetters ? 0 : 1, other = 1 - told;
                const float redundant = f.code == kSpace ? 0.0F : kRedundantShift;
                const float viaOther = next[other], viaTold = next[told] + redundant;
                next[told] = std::min(viaOther, viaTold);
                const std::uint8_t fromTold = from[i][told];
                from[i][told] = viaOther < viaTold ? from[i][other] : fromTold;
                next[other] += f.weakestBitLlr;
            } else if (kTable.letters[f.code]) {
                // Letters are judged in pairs: after a letter, or at the start of a word.
                const unsigned before =
                    i > 0 && kTable.letters[m_frames[i - 1]->code] ? m_frames[i - 1]->code : kSpace;
                next[0] -= likely.letters[before][f.code];
                next[1] -= likely.figures[f.code];
            }
            cost = next;
        }
        int s = cost[0] <= cost[1] ? 0 : 1;
        const float total = cost[static_cast<std::size_t>(s)];
        for (std::size_t i = n; i-- > 0;) {
            state[i] = s;
            s = from[i][static_cast<std::size_t>(s)];
        }
        return total;
    }

    bool m_unshiftOnSpace;
    std::vector<const Frame*> m_frames;
};

// Overlapping bursts from different channels and bauds are one transmission heard several ways: keep
// the way with the highest summed frame quality over each overlapping group.
DecodedText assemble(std::vector<Candidate> all, int sources, const DecodeOptions& options)
{
    std::sort(all.begin(), all.end(),
              [](const Candidate& a, const Candidate& b) { return a.start < b.start; });
    std::vector<const Candidate*> chosen;
    for (std::size_t i = 0; i < all.size();) {
        std::size_t j = i + 1;
        double end = all[i].end;
        while (j < all.size() && all[j].start <= end) {
            end = std::max(end, all[j].end);
            ++j;
        }
        // Compared over the time every reading covers: a reading that runs on past the others (one at
        // the wrong baud fitting a cut-off frame, say) gains nothing by it.
        std::vector<double> first(static_cast<std::size_t>(sources), 1e300), last(first.size(), -1e300);
        for (std::size_t k = i; k < j; ++k) {
            const auto s = static_cast<std::size_t>(all[k].source);
            first[s] = std::min(first[s], all[k].start);
            last[s] = std::max(last[s], all[k].end);
        }
        double from = -1e300, to = 1e300;
        for (std::size_t s = 0; s < first.size(); ++s) {
            if (first[s] < 1e299) {
                from = std::max(from, first[s]);
                to = std::min(to, last[s]);
            }
        }
        std::vector<double> score(static_cast<std::size_t>(sources), -1e300);
        for (std::size_t k = i; k < j; ++k) {
            double& sum = score[static_cast<std::size_t>(all[k].source)];
            sum = std::max(sum, 0.0);
            for (const Frame& f : all[k].frames->frames) {
                const double t = static_cast<double>(f.start) / all[k].samplesPerSecond;
                if (t >= from - 0.1 && t <= to)
                    sum += f.quality;
            }
        }
        const int best = static_cast<int>(std::max_element(score.begin(), score.end()) - score.begin());
        for (std::size_t k = i; k < j; ++k)
            if (all[k].source == best)
                chosen.push_back(&all[k]);
        i = j;
    }

    Printer printer(options.unshiftOnSpace);
    for (const Candidate* c : chosen)
        for (const Frame& f : c->frames->frames)
            printer.add(f);
    const std::vector<std::string> printed = printer.print();
    DecodedText result;
    std::size_t next = 0;
    for (const Candidate* c : chosen) {
        Burst burst{c->start, c->baud, {}};
        for (std::size_t k = 0; k < c->frames->frames.size(); ++k)
            burst.text += printed[next++];
        result.characters += static_cast<int>(c->frames->frames.size());
        result.framingErrors += c->frames->framingErrors;
        result.text += burst.text;
        if (!burst.text.empty())
            result.bursts.push_back(std::move(burst));
    }
    return result;
}

DecodedText decodeChannels(std::vector<ChannelDecoder>& channels, const std::vector<double>& bauds,
                           const DecodeOptions& options)
{
    std::vector<Candidate> all;
    const int plans = static_cast<int>(bauds.size());
    for (std::size_t c = 0; c < channels.size(); ++c) {
        for (int p = 0; p < plans; ++p) {
            for (const BurstFrames& b : channels[c].bursts()[static_cast<std::size_t>(p)])
                all.push_back({static_cast<int>(c) * plans + p, bauds[static_cast<std::size_t>(p)],
                               channels[c].seconds(b.start), channels[c].seconds(b.end), &b,
                               channels[c].rate()});
        }
    }
    return assemble(std::move(all), static_cast<int>(channels.size()) * plans, options);
}

QString rateProblem(double rate)
{
    if (std::isfinite(rate) && rate >= kMinRate && rate <= kMaxRate)
        return {};
    return QStringLiteral("the sample rate is %1 Hz; recordings from 8000 to 192000 Hz can be decoded")
        .arg(rate, 0, 'f', 0);
}

// An AppError whose what() is its description, so callers that catch only std::exception still
// show which file and why.
struct DecodeError final : AppError
{
    explicit DecodeError(const AppError& e) : AppError(e), m_what(e.description.toStdString()) {}
    const char* what() const noexcept override { return m_what.c_str(); }
    std::string m_what;
};

struct FdCloser
{
    void operator()(SNDFILE* f) const { sf_close(f); }
};

} // namespace

DecodedText decodeSamples(std::span<const float> samples, double sampleRate, const DecodeOptions& options)
{
    if (const QString problem = rateProblem(sampleRate); !problem.isEmpty())
        throw DecodeError(AppError::make(AppError::InvalidProcedureCall, problem));
    const std::vector<double> bauds = baudsFor(options.baud);
    std::vector<ChannelDecoder> channels;
    channels.emplace_back(sampleRate, bauds);
    constexpr std::size_t kBlock = 8192;
    for (std::size_t i = 0; i < samples.size(); i += kBlock)
        channels[0].push(samples.subspan(i, std::min(kBlock, samples.size() - i)));
    channels[0].finish();
    return decodeChannels(channels, bauds, options);
}

DecodedText decodeFile(const std::string& path, const DecodeOptions& options)
{
    const QString name = QString::fromLocal8Bit(path.c_str());
    auto fail = [&](AppError::Number number, const QString& why) {
        return DecodeError(AppError::make(number, name + QStringLiteral(": ") + why));
    };
    // Refuse anything but a regular file before opening it: opening a FIFO or a device can block or
    // have effects of its own. The check is repeated on the open descriptor against a swap in between.
    auto refuseNonRegular = [&](const struct stat& st) {
        if (S_ISDIR(st.st_mode))
            throw fail(AppError::PathFileAccessError, QStringLiteral("is a directory, not a recording"));
        if (!S_ISREG(st.st_mode))
            throw fail(AppError::PathFileAccessError,
                       QStringLiteral("is not a regular file (a pipe, socket or device); only recordings "
                                      "stored as files can be decoded"));
    };
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0) {
        const int e = errno;
        if (e == ENOENT || e == ENOTDIR)
            throw fail(AppError::FileNotFound, QStringLiteral("no such file"));
        if (e == EACCES)
            throw fail(AppError::PermissionDenied, QStringLiteral("the file cannot be read"));
        throw fail(AppError::PathFileAccessError, QString::fromLocal8Bit(std::strerror(e)));
    }
    refuseNonRegular(st);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        throw fail(e == EACCES ? AppError::PermissionDenied : AppError::PathFileAccessError,
                   QString::fromLocal8Bit(std::strerror(e)));
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        refuseNonRegular(st);
    }

    SF_INFO info{};
    std::unique_ptr<SNDFILE, FdCloser> file(sf_open_fd(fd, SFM_READ, &info, SF_TRUE));
    if (!file) {
        // libsndfile closes the descriptor only on success.
        ::close(fd);
        throw fail(AppError::BadFileName, QStringLiteral("not an audio file that can be read (%1)")
                                              .arg(QString::fromLocal8Bit(sf_strerror(nullptr))));
    }
    if (info.channels < 1)
        throw fail(AppError::BadFileName, QStringLiteral("the file has no audio channels"));
    if (const QString problem = rateProblem(info.samplerate); !problem.isEmpty())
        throw fail(AppError::InvalidProcedureCall, problem);

    const std::vector<double> bauds = baudsFor(options.baud);
    const auto count = static_cast<std::size_t>(info.channels);
    std::vector<ChannelDecoder> channels;
    channels.reserve(count);
    for (std::size_t c = 0; c < count; ++c)
        channels.emplace_back(info.samplerate, bauds);

    // Streamed in blocks: a long recording is never held whole.
    constexpr sf_count_t kFrames = 8192;
    std::vector<float> interleaved(static_cast<std::size_t>(kFrames) * count), mono(kFrames);
    for (;;) {
        const sf_count_t got = sf_readf_float(file.get(), interleaved.data(), kFrames);
        if (sf_error(file.get()) != SF_ERR_NO_ERROR)
            throw fail(
                AppError::DeviceIoError,
                QStringLiteral("reading failed (%1)").arg(QString::fromLocal8Bit(sf_strerror(file.get()))));
        if (got <= 0)
            break;
        const auto frames = static_cast<std::size_t>(got);
        for (std::size_t c = 0; c < count; ++c) {
            for (std::size_t i = 0; i < frames; ++i)
                mono[i] = interleaved[i * count + c];
            channels[c].push(std::span<const float>(mono.data(), frames));
        }
    }
    for (ChannelDecoder& c : channels)
        c.finish();
    return decodeChannels(channels, bauds, options);
}

std::string formatOffset(double seconds)
{
    const auto tenths = static_cast<long long>(std::floor(std::max(0.0, seconds) * 10.0 + 1e-6));
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "[%02lld:%02lld.%lld]", tenths / 600, tenths / 10 % 60, tenths % 10);
    return buffer;
}

} // namespace quillfen::tty
