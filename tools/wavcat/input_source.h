#pragma once

// What an input needs from the system, one implementation per platform: opening it without waiting
// on a pipe, reading at an offset, and a temporary file for a long stream.

#include "file_identity.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace wavcat {

struct OpenedInput
{
    int fd = -1;
    bool regular = false; // else a pipe
    std::uint64_t size = 0;
    FileIdentity identity;
};

// Opens `path` for reading, a regular file or a pipe (without waiting for a writer that is not
// there yet); throws Error naming it for a directory, anything else, or the system's refusal.
OpenedInput openInput(const std::string& path);

// Reads up to `n` bytes; 0 at the end; throws Error naming `path` when reading fails.
std::size_t readSome(int fd, void* to, std::size_t n, const std::string& path);

// Exactly `n` bytes at `at`, leaving the position where it was.
bool readAt(int fd, std::uint64_t at, unsigned char* to, std::size_t n);

// A temporary file that has no name, or loses it at once, in the system's temporary folder (named
// in `dir`); -1 with errno set when none can be made.
int unnamedTemporaryFile(std::string& dir);

// Every byte, or the errno value why none more could be written (0: written).
int writeAll(int fd, const char* bytes, std::size_t size);

// Back to the start of a file; its size, or nullopt with errno set.
std::optional<std::uint64_t> rewindFile(int fd);

void closeInput(int fd);

} // namespace wavcat
