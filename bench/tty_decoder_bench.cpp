// Prints the TTY decoder's character error rate against white noise, beside the peers installed here
// (minimodem's TDD receiver, spandsp's V.18 receiver through bench/v18_peer), its speed on ten minutes
// of audio against minimodem's, and how it reads other transmitters and clean transforms.
// Figures only: it never fails on them.
//
// Usage: tty_decoder_bench [--quick] [--peer PATH/v18_peer] [--impairments-only]
// While tuning: BENCH_IMPAIRMENT=NAME-PART (one row), BENCH_SEEDS=N, BENCH_OURS_ONLY=1, BENCH_VERBOSE=1.
#include "conversion/tty_decoder.h"
#include "platform/app_error.h"
#include "support/tty_impairments.h"
#include "support/tty_signal.h"
#include "support/wav_files.h"

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using quillfen::tty::BaudRate;
using quillfen::tty::DecodeOptions;

namespace {

using quillfen::test::addNoise;
using quillfen::test::Sender;

// Continuous-phase FSK: half a second of silence, a little mark, the characters, trailing silence.
// Shifts before every change, and FIGS again after a space, so receivers that fall back to letters on
// a space print the same as those that do not.
std::vector<float> transmit(const std::string& text, const Sender& s)
{
    quillfen::test::Line line(s.rate);
    line.silence(0.5);
    line.message(text, s, quillfen::test::ShiftHabit::AgainAfterSpace);
    return line.samples;
}

double signalPower(const std::vector<float>& x)
{
    double sum = 0;
    std::size_t count = 0;
    for (float v : x)
        if (std::abs(v) > 1e-4F) {
            sum += double(v) * v;
            ++count;
        }
    return count ? sum / static_cast<double>(count) : 0;
}

bool writeWav(const fs::path& path, const std::vector<float>& x, int rate,
              int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16)
{
    return quillfen::test::writeSound(path.string(),
                                      {format, rate, 1, std::vector<double>(x.begin(), x.end())});
}

// The first channel.
std::vector<float> readWav(const fs::path& path, int& rate)
{
    const auto sound = quillfen::test::readSound(path.string());
    if (!sound)
        return {};
    rate = sound->rate;
    std::vector<float> mono;
    for (std::size_t i = 0; i < sound->samples.size(); i += static_cast<std::size_t>(sound->channels))
        mono.push_back(static_cast<float>(sound->samples[i]));
    return mono;
}

std::optional<std::string> run(const std::string& command)
{
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return std::nullopt;
    std::string out;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    if (pclose(p) != 0)
        return std::nullopt;
    return out;
}

// Line breaks as spaces, no space at either end: all decoders are judged on the same footing.
std::string tidy(std::string s)
{
    std::string out;
    for (char c : s) {
        if (c == '\r')
            continue;
        out += c == '\n' ? ' ' : c;
    }
    const auto a = out.find_first_not_of(' '), b = out.find_last_not_of(' ');
    return a == std::string::npos ? std::string() : out.substr(a, b - a + 1);
}

double cer(const std::string& decoded, const std::string& sent)
{
    return quillfen::test::characterErrorRate(tidy(decoded), sent);
}

std::string quote(const fs::path& p)
{
    return "'" + p.string() + "'";
}

struct Decoder
{
    std::string name;
    std::function<std::optional<std::string>(const fs::path&)> decode;
};

std::string ours(const fs::path& p, const DecodeOptions& options = {})
{
    try {
        return quillfen::tty::decodeFile(p.string(), options).text;
    } catch (const quillfen::AppError& e) {
        return "(error " + e.description.toStdString() + ")";
    }
}

// Processor time of this process and of its finished children.
double processorSeconds()
{
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage u{};
        getrusage(who, &u);
        total += static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                 static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

double seconds(std::function<void()> f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

const std::vector<std::string>& kTexts = quillfen::test::kSampleTexts;

constexpr double kNone = -std::numeric_limits<double>::infinity();
using quillfen::test::Voice;
const quillfen::test::LineImpairment kLineImpairments[] = {
    {"none"},
    {"twist: space -6 dB", {.twistDb = -6}},
    {"twist: space +6 dB", {.twistDb = 6}},
    {"twist: space -8.7 dB", {.twistDb = -8.7}},
    {"twist: space +8.7 dB", {.twistDb = 8.7}},
    {"twist: space -9 dB", {.twistDb = -9}},
    {"twist: space +9 dB", {.twistDb = 9}},
    {"twist: space -12 dB", {.twistDb = -12}},
    {"twist: space +12 dB", {.twistDb = 12}},
    {"speech -10 dB", {}, -10.0, 0, Voice::Everyday},
    {"speech 0 dB", {}, 0.0, 0, Voice::Everyday},
    {"speech +6 dB", {}, 6.0, 0, Voice::Everyday},
    {"speech +10 dB", {}, 10.0, 0, Voice::Everyday},
    {"speech 0 dB on the tones", {}, 0.0},
    {"speech +6 dB on the tones", {}, 6.0},
    {"tones -150 Hz", {.offsetHz = -150}},
    {"tones -120 Hz", {.offsetHz = -120}},
    {"tones -60 Hz", {.offsetHz = -60}},
    {"tones +60 Hz", {.offsetHz = 60}},
    {"tones +120 Hz", {.offsetHz = 120}},
    {"tones +150 Hz", {.offsetHz = 150}},
    {"echo -10 dB, 30 ms", {}, kNone, 0, Voice::OnTheTones, -10, 30},
    {"GSM 06.10 once", {}, kNone, 1},
    {"GSM 06.10 twice", {}, kNone, 2},
    {"packets lost: 2 %", {}, kNone, 0, Voice::OnTheTones, kNone, 0, 0.02},
    {"packets lost: 5 %", {}, kNone, 0, Voice::OnTheTones, kNone, 0, 0.05},
};

} // namespace

int main(int argc, char** argv)
{
    bool quick = false, cerOnly = false, twoStopBits = false, impairmentsOnly = false;
    std::string peer;
    std::vector<double> snrs{0.0, -4.0, -6.0, -8.0, -10.0, -12.0};
    bool snrGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--quick")
            quick = true;
        else if (a == "--cer-only")
            cerOnly = true;
        else if (a == "--impairments-only")
            impairmentsOnly = true;
        else if (a == "--two-stop-bits") // every file as minimodem's TDD mode expects them
            twoStopBits = true;
        else if (a == "--snr" && i + 1 < argc) {
            if (!std::exchange(snrGiven, true))
                snrs.clear();
            snrs.push_back(std::atof(argv[++i]));
        } else if (a == "--peer" && i + 1 < argc)
            peer = argv[++i];
        else if (a == "--write" && i + 3 < argc) {
            // One of the noisy files, for a closer look: --write FILE SNR TEXT_INDEX.
            const double snr = std::atof(argv[i + 2]);
            const std::size_t t = static_cast<std::size_t>(std::atoi(argv[i + 3])) % kTexts.size();
            Sender s;
            s.amplitude = quillfen::test::amplitudeForSnr(snr, 0.1);
            auto x = transmit(kTexts[t], s);
            addNoise(x, 0.1, 7);
            writeWav(argv[i + 1], x, 8000);
            return 0;
        } else if (a == "--decode" && i + 1 < argc) {
            // One file through our decoder, with its bursts: for looking into a figure.
            const auto d = quillfen::tty::decodeFile(argv[++i]);
            for (const auto& b : d.bursts)
                std::printf("%s %.2f baud: %s\n", quillfen::tty::formatOffset(b.startSeconds).c_str(), b.baud,
                            b.text.c_str());
            std::printf("%d characters, %d framing errors\n", d.characters, d.framingErrors);
            return 0;
        }
    }
    if (impairmentsOnly) {
        snrs.clear();
        cerOnly = true;
    }
    const bool verbose = std::getenv("BENCH_VERBOSE") != nullptr;
    const fs::path work = fs::temp_directory_path() / ("tty_decoder_bench." + std::to_string(::getpid()));
    fs::create_directories(work);

    std::vector<Decoder> decoders{{"Quillfen", [](const fs::path& p) { return std::optional(ours(p)); }}};
    // BENCH_OURS_ONLY: no peers, for a quick figure while tuning.
    const bool oursOnly = std::getenv("BENCH_OURS_ONLY") != nullptr;
    const bool haveMinimodem =
        !oursOnly && run("command -v minimodem >/dev/null 2>&1 && echo yes").has_value();
    if (haveMinimodem)
        decoders.push_back({"minimodem", [](const fs::path& p) {
                                return run("minimodem --rx tdd -q -f " + quote(p) + " 2>/dev/null");
                            }});
    const bool havePeer = !peer.empty() && fs::exists(peer);
    if (havePeer)
        decoders.push_back({"spandsp V.18", [peer](const fs::path& p) {
                                return run(quote(peer) + " rx " + quote(p) + " 2>/dev/null");
                            }});
    std::printf("peers: minimodem %s, spandsp V.18 %s\n", haveMinimodem ? "installed" : "not installed",
                havePeer ? "installed" : "not built (libspandsp-dev missing)");

    // 1. Character error rate against full-band SNR: tone power over white-noise power, 0-4 kHz at 8 kHz.
    // BENCH_SEEDS: more seeds per text for a finer figure while tuning.
    const int seedsPerText = std::getenv("BENCH_SEEDS") ? std::max(1, std::atoi(std::getenv("BENCH_SEEDS")))
                             : quick                    ? 2
                                                        : 6;
    if (!snrs.empty())
        std::printf(
            "\ncharacter error rate, 45.45 baud, %s, 8 kHz 16-bit WAV, %zu texts x %d seeds per SNR\n",
            twoStopBits ? "2 stop bits" : "1.5 and 2 stop bits", kTexts.size(), seedsPerText);
    if (!snrs.empty()) {
        std::printf("%-8s", "SNR dB");
        for (const Decoder& d : decoders)
            std::printf("  %14s", d.name.c_str());
        std::printf("\n");
    }
    constexpr double kNoiseRms = 0.1;
    for (double snr : snrs) {
        std::vector<double> total(decoders.size(), 0.0);
        int files = 0;
        for (std::size_t t = 0; t < kTexts.size(); ++t) {
            for (int seed = 0; seed < seedsPerText; ++seed) {
                Sender s;
                s.amplitude = quillfen::test::amplitudeForSnr(snr, kNoiseRms);
                s.stopBits = seed % 2 && !twoStopBits ? 1.5 : 2;
                auto x = transmit(kTexts[t], s);
                addNoise(x, kNoiseRms, static_cast<unsigned>(1000 * t + seed + 17 * (snr + 20)));
                const fs::path f = work / "noisy.wav";
                writeWav(f, x, 8000);
                for (std::size_t d = 0; d < decoders.size(); ++d) {
                    const auto text = decoders[d].decode(f);
                    total[d] += text ? cer(*text, kTexts[t]) : 1.0;
                    if (verbose && text && tidy(*text) != kTexts[t]) {
                        std::printf("    %s: \"%s\"\n", decoders[d].name.c_str(), tidy(*text).c_str());
                        fs::copy_file(
                            f, work / ("miss_" + std::to_string(files) + "_" + std::to_string(d) + ".wav"),
                            fs::copy_options::overwrite_existing);
                    }
                }
                ++files;
            }
        }
        std::printf("%-8.0f", snr);
        for (double v : total)
            std::printf("  %13.2f%%", 100 * v / files);
        std::printf("\n");
        std::fflush(stdout);
    }

    // 2. Ten minutes of audio, decoded by us and by minimodem.
    if (!cerOnly) {
        std::string text;
        while (text.size() < 3200) // about 560 s at 45.45 baud: all of it inside the ten minutes
            text += kTexts[text.size() / 60 % kTexts.size()] + " ";
        Sender s;
        s.amplitude = quillfen::test::amplitudeForSnr(-6.0, kNoiseRms);
        auto x = transmit(text, s);
        x.resize(static_cast<std::size_t>(600 * 8000), 0.0F);
        addNoise(x, kNoiseRms, 99);
        const fs::path f = work / "ten_minutes.wav";
        writeWav(f, x, 8000);
        // Wall time on a shared machine swings with the load; processor time (ours in this process,
        // a peer's as a child, shell included) swings less. Both, best of five.
        std::printf("\ndecoding 10 minutes of 8 kHz audio (-6 dB SNR), best of 5 runs\n");
        std::vector<double> walls, cpus;
        for (const Decoder& d : decoders) {
            double wall = 1e9, cpu = 1e9;
            std::optional<std::string> out;
            for (int r = 0; r < 5; ++r) {
                const double before = processorSeconds();
                wall = std::min(wall, seconds([&] { out = d.decode(f); }));
                cpu = std::min(cpu, processorSeconds() - before);
            }
            walls.push_back(wall);
            cpus.push_back(cpu);
            std::printf("  %-14s wall %5.2f s  processor %5.2f s   CER %.2f%%\n", d.name.c_str(), wall, cpu,
                        out ? 100 * cer(*out, tidy(text)) : 100.0);
        }
        if (walls.size() > 1)
            std::printf("  Quillfen/minimodem: wall %.2f, processor %.2f (goal <= 1)\n", walls[0] / walls[1],
                        cpus[0] / cpus[1]);
    }

    // 3. Other transmitters with a little noise (+10 dB and 0 dB full-band SNR).
    std::printf("\nother transmitters, CER per decoder at +10 dB / 0 dB SNR (%zu texts)\n", kTexts.size());
    struct Transmitter
    {
        std::string name;
        std::function<bool(const std::string&, const fs::path&)> make;
    };
    std::vector<Transmitter> transmitters;
    if (haveMinimodem)
        transmitters.push_back({"minimodem --tx tdd", [](const std::string& text, const fs::path& f) {
                                    return run("printf '%s' '" + text + "' | minimodem --tx tdd -R 8000 -f " +
                                               quote(f) + " 2>/dev/null")
                                        .has_value();
                                }});
    if (havePeer)
        transmitters.push_back(
            {"spandsp V.18 tx", [peer](const std::string& text, const fs::path& f) {
                 return run(quote(peer) + " tx " + quote(f) + " '" + text + "' 2>/dev/null").has_value();
             }});
    for (const Transmitter& tx : cerOnly ? std::vector<Transmitter>{} : transmitters) {
        for (double snr : {10.0, 0.0}) {
            std::vector<double> total(decoders.size(), 0.0);
            for (std::size_t t = 0; t < kTexts.size(); ++t) {
                const fs::path clean = work / "peer.wav", noisy = work / "peer_noisy.wav";
                int rate = 0;
                std::vector<float> x;
                if (tx.make(kTexts[t], clean))
                    x = readWav(clean, rate);
                if (x.empty()) {
                    std::fill(total.begin(), total.end(), 1e9);
                    break;
                }
                // Half a second of line noise before and after, as a recording would have.
                x.insert(x.begin(), static_cast<std::size_t>(rate / 2), 0.0F);
                x.insert(x.end(), static_cast<std::size_t>(rate / 2), 0.0F);
                const double rms = std::sqrt(signalPower(x) / std::pow(10, snr / 10));
                addNoise(x, rms, static_cast<unsigned>(t + 5));
                writeWav(noisy, x, rate);
                for (std::size_t d = 0; d < decoders.size(); ++d) {
                    const auto text = decoders[d].decode(noisy);
                    total[d] += text ? cer(*text, kTexts[t]) : 1.0;
                }
            }
            std::printf("  %-18s %+4.0f dB:", tx.name.c_str(), snr);
            for (std::size_t d = 0; d < decoders.size(); ++d) {
                if (total[d] > 1e8)
                    std::printf("  %s n/a", decoders[d].name.c_str());
                else
                    std::printf("  %s %.2f%%", decoders[d].name.c_str(), 100 * total[d] / kTexts.size());
            }
            std::printf("\n");
        }
    }

    // 4. Clean transforms: each must decode exactly.
    if (!cerOnly)
        std::printf("\nclean transforms (Quillfen must print the text exactly)\n");
    const std::string text = kTexts[2];
    struct Transform
    {
        std::string name;
        Sender sender;
        int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        double noiseFirst = 0;
        DecodeOptions options{};
    };
    const std::vector<Transform> transforms = {
        {"-55 dBFS peak", {.amplitude = std::pow(10, -55 / 20.0)}},
        {"clipped (3x full scale)", {.amplitude = 3}},
        {"11025 Hz", {.rate = 11025}},
        {"44100 Hz float", {.rate = 44100}, SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        {"192000 Hz 24-bit", {.rate = 192000}, SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        {"u-law", {}, SF_FORMAT_WAV | SF_FORMAT_ULAW},
        {"A-law", {}, SF_FORMAT_WAV | SF_FORMAT_ALAW},
        {"8-bit", {}, SF_FORMAT_WAV | SF_FORMAT_PCM_U8},
        {"FLAC 48 kHz", {.rate = 48000}, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"Ogg Vorbis 22050 Hz", {.rate = 22050}, SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        {"tones +3 %", {.toneScale = 1.03}},
        {"tones -3 %", {.toneScale = 0.97}},
        {"baud +3 %", {.baud = 45.45 * 1.03}},
        {"baud -3 %, 1.5 stop bits", {.baud = 45.45 * 0.97, .stopBits = 1.5}},
        {"50 baud", {.baud = 50, .stopBits = 1.5}},
        {"50 baud forced", {.baud = 50}, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, {.baud = BaudRate::Baud50}},
        {"2 s of loud noise first", {}, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2.0},
    };
    int exact = 0;
    for (const Transform& t : cerOnly ? std::vector<Transform>{} : transforms) {
        auto x = transmit(text, t.sender);
        if (t.noiseFirst > 0) {
            std::vector<float> noise(static_cast<std::size_t>(t.noiseFirst * t.sender.rate));
            addNoise(noise, 0.3, 4);
            x.insert(x.begin(), noise.begin(), noise.end());
        }
        const bool ogg = (t.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG;
        const fs::path f = work / (ogg                                                 ? "t.ogg"
                                   : (t.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC ? "t.flac"
                                                                                       : "t.wav");
        if (!writeWav(f, x, static_cast<int>(t.sender.rate), t.format)) {
            std::printf("  %-26s cannot write this format here\n", t.name.c_str());
            continue;
        }
        const std::string got = tidy(ours(f, t.options));
        exact += got == text;
        std::printf("  %-26s %s\n", t.name.c_str(), got == text ? "exact" : ("got \"" + got + "\"").c_str());
    }
    if (!cerOnly)
        std::printf("  %d of %zu exact\n", exact, transforms.size());

    // 5. What telephone lines do, each on top of white noise 10 dB under the mark tone.
    std::printf("\nline impairments, CER over %zu texts x %d seeds, white noise 10 dB under the mark tone\n",
                kTexts.size(), seedsPerText);
    std::printf("%-26s", "impairment");
    for (const Decoder& d : decoders)
        std::printf("  %14s", d.name.c_str());
    std::printf("\n");
    int files = 0;
    const char* only = std::getenv("BENCH_IMPAIRMENT"); // one row, by a part of its name
    for (const quillfen::test::LineImpairment& line : kLineImpairments) {
        if (only && std::string_view(line.name).find(only) == std::string_view::npos)
            continue;
        std::vector<double> total(decoders.size(), 0.0);
        const int first = files;
        for (std::size_t t = 0; t < kTexts.size(); ++t) {
            for (int seed = 0; seed < seedsPerText; ++seed) {
                const auto x = quillfen::test::impairedRecording(kTexts[t], line, 10.0,
                                                                 static_cast<unsigned>(100 * t + seed + 3));
                const fs::path f = work / "impaired.wav";
                writeWav(f, x, 8000);
                for (std::size_t d = 0; d < decoders.size(); ++d) {
                    const auto text = decoders[d].decode(f);
                    total[d] += text ? cer(*text, kTexts[t]) : 1.0;
                    if (verbose && text && tidy(*text) != kTexts[t]) {
                        std::printf("    %s: \"%s\"\n", decoders[d].name.c_str(), tidy(*text).c_str());
                        fs::copy_file(f, work / ("impaired_" + std::to_string(files) + ".wav"),
                                      fs::copy_options::overwrite_existing);
                    }
                }
                ++files;
            }
        }
        std::printf("%-26s", line.name);
        for (double v : total)
            std::printf("  %13.2f%%", 100 * v / (files - first));
        std::printf("\n");
        std::fflush(stdout);
    }

    if (!verbose)
        fs::remove_all(work);
    return 0;
}
