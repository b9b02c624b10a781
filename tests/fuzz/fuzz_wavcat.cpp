// wavcat's input reading and joining on any input A: "A B A" gives 2A + B frames (a block codec
// such as GSM pads the end to a whole block), and a join that fails leaves the earlier output
// byte for byte, with no temporary beside it.
#include "error.h"
#include "fuzz_check.h"
#include "support/wav_files.h"
#include "wav_join.h"

#include <sndfile.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kEarlier = "an earlier output, kept byte for byte";

// A directory for one input, removed when the input is done: libFuzzer ends a run without the
// process's exit handlers, so nothing may wait for them.
class WorkDir
{
public:
    WorkDir()
    {
        std::string name = (fs::temp_directory_path() / "quillfen-fuzz-wavcat-XXXXXX").string();
        FUZZ_CHECK(::mkdtemp(name.data()));
        m_path = name;
    }
    ~WorkDir()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

void write(const fs::path& path, const void* data, std::size_t size)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(static_cast<const char*>(data), std::streamsize(size));
}

std::string contents(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Frames as libsndfile decodes them, which is what wavcat joins.
sf_count_t framesIn(const fs::path& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    FUZZ_CHECK(file);
    std::vector<double> buffer(std::size_t(info.channels) * 4096);
    sf_count_t frames = 0;
    for (sf_count_t got; (got = sf_readf_double(file, buffer.data(), 4096)) > 0;)
        frames += got;
    sf_close(file);
    return frames;
}

// Codecs that code whole blocks (GSM, ADPCM) pad the end of a file to a block; the others do not.
bool isBlockCodec(int subtype)
{
    return subtype > SF_FORMAT_DOUBLE && subtype != SF_FORMAT_ULAW && subtype != SF_FORMAT_ALAW;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const WorkDir dir;
    const fs::path a = dir.path() / "a.wav", b = dir.path() / "b.wav", out = dir.path() / "out.wav";
    write(a, data, size);
    write(out, kEarlier.data(), kEarlier.size());

    // B: a few frames in A's own format, where libsndfile can write that; otherwise A again.
    fs::path second = a;
    SF_INFO info{};
    if (SNDFILE* file = sf_open(a.c_str(), SFM_READ, &info)) {
        sf_close(file);
        const quillfen::test::Sound frames{SF_FORMAT_WAV | (info.format & SF_FORMAT_SUBMASK), info.samplerate,
                                           info.channels,
                                           std::vector<double>(std::size_t(info.channels) * 7, 0.25)};
        if (quillfen::test::writeSound(b.string(), frames))
            second = b;
    }

    try {
        wavcat::joinWavs({a.string(), second.string(), a.string()}, out.string());
    } catch (const wavcat::Error&) {
        FUZZ_CHECK(contents(out) == kEarlier);
        for (const auto& entry : fs::directory_iterator(dir.path()))
            FUZZ_CHECK(entry.path().filename().string()[0] != '.');
        return 0;
    }
    const sf_count_t expected = 2 * framesIn(a) + framesIn(second);
    const sf_count_t joined = framesIn(out);
    FUZZ_CHECK(isBlockCodec(info.format & SF_FORMAT_SUBMASK) ? joined >= expected && joined <= expected + 4096
                                                             : joined == expected);
    return 0;
}
