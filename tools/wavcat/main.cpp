#include "error.h"
#include "wav_join.h"

#include "version.h"

#include <cstdio>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage = "usage: wavcat INPUT... OUTPUT\n";

constexpr const char* kHelp =
    "usage: wavcat INPUT... OUTPUT\n"
    "       wavcat --help | --version\n"
    "\n"
    "Joins the WAV files INPUT... in order into OUTPUT, a WAV file in the sample rate, channel count\n"
    "and sample format of the first input; every input must match it. OUTPUT is replaced only when\n"
    "it is complete: after an error an earlier file there is left as it was.\n"
    "\n"
    "An OUTPUT named .ulaw or .ul (mono u-law at 8000 Hz), .alaw or .al (A-law, 8000 Hz), .sln\n"
    "(16-bit signed linear, little-endian, 8000 Hz), .sln16 (16000 Hz) or .sln48 (48000 Hz), in any\n"
    "case, is written without a header; the inputs must already be in that format. u-law and A-law\n"
    "are copied as stored, never decoded and encoded again.\n"
    "\n"
    "Every argument is a file name. --help and --version are options only as the sole argument.\n"
    "\n"
    "Exit status: 0 joined, 1 error (reading, format, writing), 2 wrong arguments.\n";

int printAndExit(const char* text)
{
    std::fputs(text, stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--help")
        return printAndExit(kHelp);
    if (args.size() == 1 && args[0] == "--version")
        return printAndExit((std::string("wavcat ") + quillfen::version::kText + "\n").c_str());
    if (args.size() < 2) {
        std::fprintf(stderr, "wavcat: need at least one input and an output\n%s", kUsage);
        return 2;
    }

    const std::string output = std::move(args.back());
    args.pop_back();
    try {
        wavcat::joinWavs(args, output);
    } catch (const wavcat::Error& e) {
        std::fprintf(stderr, "wavcat: %s\n", e.what());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "wavcat: out of memory\n");
        return 1;
    }
    return 0;
}
