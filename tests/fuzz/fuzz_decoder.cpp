// The decoder on any bytes, as raw samples and as a file: it prints no more characters than it
// accepted frames, and accepts no more frames than the signal's length can carry.
#include "conversion/tty_decoder.h"
#include "fuzz_check.h"

#include <sndfile.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace {

// A frame is at least 7 bits (start, 5 data, 1 stop); at 50 baud, the faster of the two, 0.14 s.
void checkBounded(const quillfen::tty::DecodedText& decoded, double seconds)
{
    FUZZ_CHECK(decoded.text.size() <= std::size_t(decoded.characters));
    FUZZ_CHECK(decoded.characters <= seconds / 0.13 + 2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillfen::tty;
    // Raw: two bytes choose a rate from 8,000 Hz up, the rest are 16-bit samples.
    if (size >= 2) {
        const double rate = 8000 + 2 * (data[0] | data[1] << 8);
        std::vector<float> samples((size - 2) / 2);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = float(std::int16_t(data[2 + 2 * i] | data[3 + 2 * i] << 8)) / 32768.0f;
        checkBounded(decodeSamples(samples, rate), double(samples.size()) / rate);
    }

    // As a file, through its path: whatever libsndfile makes of the bytes.
    const int fd = ::memfd_create("fuzz.wav", MFD_CLOEXEC);
    FUZZ_CHECK(fd >= 0 && ::write(fd, data, size) == ssize_t(size));
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    SF_INFO info{};
    if (SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info)) {
        sf_close(file);
        try {
            checkBounded(decodeFile(path), double(info.frames) / info.samplerate);
        } catch (const std::exception&) {
            // refused with a message: a rate it cannot hear, a read that failed
        }
    }
    ::close(fd);
    return 0;
}
