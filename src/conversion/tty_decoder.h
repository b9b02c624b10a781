#pragma once

#include <string>
#include <vector>

namespace quillfen::tty {

// What a 45.45-baud Baudot (TTY/TDD) signal carries, as printable text.
struct DecodedText
{
    std::string text;      // UTF-8 (ASCII in practice)
    int characters = 0;    // Baudot frames accepted, shifts included
    int framingErrors = 0; // frames rejected for a missing stop bit
};

// Decodes mono samples in [-1, 1] at any sample rate: 1400 Hz mark, 1800 Hz space, 1 start bit,
// 5 data bits least significant first, 1 to 2 stop bits, with or without idle carrier between
// characters. Shift-aware; a space returns the receiver to letters (unshift on space). Silence and
// noise decode to nothing, as does a rate too low to carry the tones.
DecodedText decodeSamples(const std::vector<float>& samples, double sampleRate);

// Reads any WAV (or other libsndfile-readable) file, mixing channels down to mono.
// Throws std::runtime_error naming the file when it cannot be read.
DecodedText decodeFile(const std::string& path);

} // namespace quillfen::tty
