#pragma once

// The files of bare samples phone systems play as they are, known by their extension: the one table
// the conversion and wavcat both choose by. Std C++ only.

#include <array>
#include <optional>
#include <string_view>

namespace quillfen::tty {

enum class SampleEncoding { Pcm16, Ulaw, Alaw };

struct HeaderlessFormat
{
    std::string_view extension; // as written here: ".ulaw"
    SampleEncoding encoding;
    int sampleRate; // and always one channel
};

inline constexpr std::array<HeaderlessFormat, 7> kHeaderlessFormats{{
    {".ulaw", SampleEncoding::Ulaw, 8000},
    {".ul", SampleEncoding::Ulaw, 8000},
    {".alaw", SampleEncoding::Alaw, 8000},
    {".al", SampleEncoding::Alaw, 8000},
    {".sln", SampleEncoding::Pcm16, 8000},
    {".sln16", SampleEncoding::Pcm16, 16000},
    {".sln48", SampleEncoding::Pcm16, 48000},
}};

// ASCII letters only fold: a name must not match by the rules of some other script (".ſln" with a
// long s is no ".sln"), and both users must agree on every name, whatever its bytes.
constexpr bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix)
{
    if (suffix.size() > text.size())
        return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    const std::string_view tail = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i)
        if (lower(tail[i]) != lower(suffix[i]))
            return false;
    return true;
}

// The headerless format a file name or path (UTF-8 or any byte string) asks for, by its extension in
// any ASCII case; none for any other name.
constexpr std::optional<HeaderlessFormat> headerlessFormatOf(std::string_view name)
{
    for (const HeaderlessFormat& format : kHeaderlessFormats)
        if (endsWithIgnoringAsciiCase(name, format.extension))
            return format;
    return std::nullopt;
}

} // namespace quillfen::tty
