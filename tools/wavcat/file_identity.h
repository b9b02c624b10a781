#pragma once

#include <cstdint>

namespace wavcat {

// A file whatever it is called: its device (volume) and inode (file index), so that hard links and
// other spellings match.
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

} // namespace wavcat
