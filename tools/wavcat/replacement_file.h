#pragma once

#include "file_identity.h"

#include <optional>
#include <string>

namespace wavcat {

// Writes a file so that it appears only whole (on Windows, see replacement_file_win.cpp, always
// through a named temporary). The data goes to an unnamed temporary (O_TMPFILE) in
// the target's directory, which commit() links to a hidden name and renames over the target. Until
// then the target is untouched, and whatever ends the process, kill -9 included, nothing is left
// behind except in the moment between link and rename (and then the whole output under a hidden
// name). Where the file system has no unnamed files, a named hidden temporary is the fallback: it is
// removed when it is never committed, also on SIGINT, SIGTERM or SIGHUP, but not on kill -9.
// Only one may exist at a time (the signal cleanup knows one temporary).
class ReplacementFile
{
public:
    enum class Temporary { Unnamed, Named };

    // Throws Error when the target cannot be written: a missing or read-only directory, an existing
    // read-only file or anything but a regular file at that path (through symbolic links), an empty
    // name. `Named` forces the fallback.
    explicit ReplacementFile(std::string target, Temporary temporary = Temporary::Unnamed);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // The file now at `target` (through symbolic links), if any, after the constructor's checks;
    // nothing is created. Throws Error as the constructor does.
    static std::optional<FileIdentity> checkTarget(const std::string& target);

    // A seekable descriptor of the temporary; it stays owned by this object.
    int fd() const { return m_fd; }
    const std::string& target() const { return m_target; }

    // Makes the data durable and moves it into place. Throws Error; the target is then as it was.
    void commit();

private:
    std::string hiddenPrefix() const; // ".<name>." in the target's directory
    void openNamedTemporary();
    void linkToHiddenName();
    void setPending();

    std::string m_target;
    std::string m_dir;
    std::string m_name; // the target's file name, which hidden names repeat
    std::string m_temp; // the temporary's name while it has one
    int m_fd = -1;
};

} // namespace wavcat
