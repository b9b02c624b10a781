// Loading a language library on POSIX systems: the whole file read into memory and checked by our
// own PE reader, as no system loader here reads Windows resources.
#include "localization/language_library.h"

#include <filesystem>
#include <fstream>

namespace quillfen {
namespace {

// Far beyond any real string table; keeps a mistaken huge file from being read into memory.
constexpr std::uintmax_t kMaxFileSize = std::uintmax_t{64} * 1024 * 1024;

} // namespace

std::optional<LanguageLibraryFile> LanguageLibraryFile::load(const std::string& path)
{
    try {
        // Only regular files: opening a FIFO or a device could block or never end.
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec))
            return std::nullopt;
        const std::uintmax_t size = std::filesystem::file_size(path, ec);
        if (ec || size > kMaxFileSize)
            return std::nullopt;
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return std::nullopt;
        std::string bytes(static_cast<std::size_t>(size), '\0');
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        // A file that changed size under us is read as what we got, and then probably refused.
        bytes.resize(static_cast<std::size_t>(in.gcount()));
        return fromBytes(bytes);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace quillfen
