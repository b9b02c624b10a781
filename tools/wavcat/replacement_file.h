#pragma once

#include <string>

namespace wavcat {

// Writes a file so that it appears only whole. The data goes to a hidden temporary beside the target,
// which replaces the target by rename in commit(). Until then the target is untouched; a temporary
// that is never committed is removed, also when the process is stopped by SIGINT, SIGTERM or SIGHUP.
// Only one may exist at a time (the signal cleanup knows one temporary).
class ReplacementFile
{
public:
    // Throws Error when the target cannot be written: a missing or read-only directory, an existing
    // read-only file or directory at that path, an empty name.
    explicit ReplacementFile(std::string target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // A seekable descriptor of the temporary; it stays owned by this object.
    int fd() const { return m_fd; }
    const std::string& target() const { return m_target; }

    // Makes the data durable and moves it into place. Throws Error; the target is then as it was.
    void commit();

private:
    std::string m_target;
    std::string m_dir;
    std::string m_temp;
    int m_fd = -1;
};

} // namespace wavcat
