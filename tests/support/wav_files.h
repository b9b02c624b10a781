#pragma once

// Sound files for tests and the bench, through libsndfile: written whole, read back whole. Std C++
// and libsndfile only.

#include <sndfile.h>

#include <optional>
#include <string>
#include <vector>

namespace quillfen::test {

// A file's shape and its samples, channels interleaved.
struct Sound
{
    int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    int rate = 8000;
    int channels = 1;
    std::vector<double> samples{};

    sf_count_t frames() const { return static_cast<sf_count_t>(samples.size()) / channels; }
};

// Channels of equal length side by side, as a file stores them.
inline std::vector<double> interleave(const std::vector<std::vector<float>>& channels)
{
    std::vector<double> out;
    out.reserve(channels.size() * channels.front().size());
    for (std::size_t i = 0; i < channels.front().size(); ++i)
        for (const auto& channel : channels)
            out.push_back(channel[i]);
    return out;
}

// Writes the samples (clipped to full scale); false when libsndfile cannot write that format here.
inline bool writeSound(const std::string& path, const Sound& sound)
{
    SF_INFO info{0, sound.rate, sound.channels, sound.format, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const bool complete = sf_writef_double(file, sound.samples.data(), sound.frames()) == sound.frames();
    sf_close(file);
    return complete;
}

// Writes bytes as the file's audio, undecoded (companded codes, say).
inline bool writeStoredBytes(const std::string& path, const Sound& shape, const std::string& bytes)
{
    SF_INFO info{0, shape.rate, shape.channels, shape.format, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    const auto size = static_cast<sf_count_t>(bytes.size());
    const bool complete = sf_write_raw(file, bytes.data(), size) == size;
    sf_close(file);
    return complete;
}

// The whole file; a headerless one needs its format and rate. None when libsndfile cannot open it.
inline std::optional<Sound> readSound(const std::string& path, int rawFormat = 0, int rawRate = 0)
{
    SF_INFO info{0, rawRate, 1, rawFormat, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return std::nullopt;
    Sound sound{info.format, info.samplerate, info.channels,
                std::vector<double>(static_cast<std::size_t>(info.frames * info.channels))};
    sound.samples.resize(
        static_cast<std::size_t>(sf_readf_double(file, sound.samples.data(), info.frames) * info.channels));
    sf_close(file);
    return sound;
}

// The file's audio as stored, undecoded, up to 64 KiB; empty when it cannot be opened.
inline std::string storedBytes(const std::string& path, int rawFormat = 0, int rawRate = 0)
{
    SF_INFO info{0, rawRate, 1, rawFormat, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return {};
    std::string bytes(64 * 1024, '\0');
    bytes.resize(
        static_cast<std::size_t>(sf_read_raw(file, bytes.data(), static_cast<sf_count_t>(bytes.size()))));
    sf_close(file);
    return bytes;
}

} // namespace quillfen::test
