// ttyprompts [--encoding pcm16|ulaw|alaw] [--rate HZ] [--level DBFS] [--baud 45.45|50] OUTPUT_DIR:
// writes the TTY prompt WAV set that the conversion joins. Without options, the standard set of the
// program directory; the conversion run starts it with options to make the sets of other formats.
#include "prompt_synth.h"

#include <charconv>
#include <filesystem>
#include <iostream>
#include <map>
#include <sndfile.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage = "usage: ttyprompts [--encoding pcm16|ulaw|alaw] [--rate HZ] [--level DBFS] "
                               "[--baud 45.45|50] OUTPUT_DIR\n";

struct Options
{
    ttyprompts::SetShape shape;
    int subtype = SF_FORMAT_PCM_16;
    fs::path dir;
};

template <typename T> bool parseNumber(std::string_view text, T& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

ttyprompts::Baud parseBaud(std::string_view text)
{
    if (text == "45.45")
        return ttyprompts::Baud::Baud45;
    if (text == "50")
        return ttyprompts::Baud::Baud50;
    throw std::invalid_argument("--baud takes 45.45 or 50");
}

Options parseArguments(int argc, char** argv)
{
    static const std::map<std::string_view, int> kEncodings{
        {"pcm16", SF_FORMAT_PCM_16}, {"ulaw", SF_FORMAT_ULAW}, {"alaw", SF_FORMAT_ALAW}};
    Options options;
    bool haveDir = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool takesValue = arg == "--encoding" || arg == "--rate" || arg == "--level" || arg == "--baud";
        if (takesValue && i + 1 >= argc)
            throw std::invalid_argument(std::string(arg) + " needs a value");
        if (arg == "--encoding") {
            const auto found = kEncodings.find(argv[++i]);
            if (found == kEncodings.end())
                throw std::invalid_argument("--encoding takes pcm16, ulaw or alaw");
            options.subtype = found->second;
        } else if (arg == "--rate") {
            if (!parseNumber(argv[++i], options.shape.sampleRate))
                throw std::invalid_argument("--rate takes a whole number of hertz");
        } else if (arg == "--baud") {
            options.shape.baud = parseBaud(argv[++i]);
        } else if (arg == "--level") {
            if (!parseNumber(argv[++i], options.shape.peakDbfs))
                throw std::invalid_argument("--level takes a number of dBFS");
        } else if (!haveDir && !arg.empty() && !arg.starts_with("--")) {
            options.dir = arg;
            haveDir = true;
        } else {
            throw std::invalid_argument("unexpected argument '" + std::string(arg) + "'");
        }
    }
    if (!haveDir)
        throw std::invalid_argument("no output directory");
    if (!ttyprompts::isSupported(options.shape))
        throw std::invalid_argument("the rate must be 8000 to 48000 Hz and the level -30 to 0 dBFS");
    return options;
}

// Written beside the target and renamed, so an interrupted build never leaves a short prompt that
// a later build would take as up to date.
void writePrompt(const Options& options, const ttyprompts::Prompt& prompt)
{
    const fs::path target = options.dir / prompt.fileName;
    const fs::path temporary = options.dir / ("." + prompt.fileName + ".tmp");

    SF_INFO info{};
    info.samplerate = options.shape.sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | options.subtype;
    // The narrow name: a path's own characters are wide on Windows, and sf_open takes bytes.
    SNDFILE* file = sf_open(temporary.string().c_str(), SFM_WRITE, &info);
    if (!file)
        throw std::runtime_error("cannot create " + temporary.string() + ": " + sf_strerror(nullptr));
    const auto count = static_cast<sf_count_t>(prompt.samples.size());
    const bool written = sf_write_short(file, prompt.samples.data(), count) == count;
    const std::string writeError = sf_strerror(file);
    const bool closed = sf_close(file) == 0;
    if (!written || !closed) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw std::runtime_error("cannot write " + temporary.string() + ": " + writeError);
    }

    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw std::runtime_error("cannot rename " + temporary.string() + " to " + target.string() + ": " +
                                 ec.message());
    }
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    try {
        options = parseArguments(argc, argv);
    } catch (const std::invalid_argument& e) {
        std::cerr << "ttyprompts: " << e.what() << '\n' << kUsage;
        return 2;
    }
    try {
        fs::create_directories(options.dir);
        for (const auto& prompt : ttyprompts::buildPromptSet(options.shape))
            writePrompt(options, prompt);
    } catch (const std::exception& e) {
        std::cerr << "ttyprompts: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
