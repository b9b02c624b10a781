#pragma once

#include <sys/types.h>

namespace wavcat {

// A file whatever it is called: device and inode, so that hard links and other spellings match.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

} // namespace wavcat
