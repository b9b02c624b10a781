#pragma once

#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace wavcat {

// A file whatever it is called: device and inode, so that hard links and other spellings match.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The file a path names, through symbolic links; nullopt when there is none (or it cannot be seen).
inline std::optional<FileIdentity> identityOf(const std::string& path)
{
    struct stat st = {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino};
}

} // namespace wavcat
