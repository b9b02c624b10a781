#pragma once

#include "file_identity.h"

#include <sndfile.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace wavcat {

// One input, opened and checked: a regular file or a pipe that libsndfile can read. A pipe is
// refused at once when its first bytes are not audio; past 64 MiB it is kept in an unnamed
// temporary file rather than in memory. Every failure throws Error naming the file.
class InputFile
{
public:
    static InputFile open(const std::string& path);

    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&&) = delete;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    const std::string& path() const { return m_path; }
    const SF_INFO& info() const { return m_info; }
    int subtype() const { return m_info.format & SF_FORMAT_SUBMASK; }
    const FileIdentity& identity() const { return m_identity; }

    // Every frame, interleaved, in T (short, int, float or double; std::byte for the stored bytes of
    // a one-byte encoding). Memory grows with the data that really arrives, never with what a header
    // claims.
    template <typename T> std::vector<T> readAll();
    // Every frame again from the start, in steps, for an input too large to hold decoded.
    template <typename T> void readEach(const std::function<void(const T*, std::size_t samples)>& use);
    // The most samples readAll can give: what the header announces, bounded by the bytes there.
    std::uint64_t samplesAtMost() const;

private:
    struct Stream;

    explicit InputFile(std::string path);

    std::string m_path;
    int m_fd = -1;
    std::unique_ptr<Stream> m_stream; // a short pipe's bytes, which libsndfile reads from memory
    SNDFILE* m_file = nullptr;
    SF_INFO m_info{};
    FileIdentity m_identity;
    std::uint64_t m_bytes = 0; // the size of the file, or what came through the pipe
};

} // namespace wavcat
