// ttyprompts OUTPUT_DIR: writes the TTY prompt WAV set that the conversion joins.
#include "prompt_synth.h"

#include <filesystem>
#include <iostream>
#include <sndfile.h>
#include <stdexcept>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Written beside the target and renamed, so an interrupted build never leaves a short prompt that
// a later build would take as up to date.
void writePrompt(const fs::path& dir, const ttyprompts::Prompt& prompt)
{
    const fs::path target = dir / prompt.fileName;
    const fs::path temporary = dir / ("." + prompt.fileName + ".tmp");

    SF_INFO info{};
    info.samplerate = ttyprompts::kSampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(temporary.c_str(), SFM_WRITE, &info);
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
    if (argc != 2) {
        std::cerr << "usage: ttyprompts OUTPUT_DIR\n";
        return 2;
    }
    try {
        const fs::path dir = argv[1];
        fs::create_directories(dir);
        for (const auto& prompt : ttyprompts::buildPromptSet())
            writePrompt(dir, prompt);
    } catch (const std::exception& e) {
        std::cerr << "ttyprompts: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
