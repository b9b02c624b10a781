#include "replacement_file.h"

#include "error.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <random>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace wavcat {
namespace {

// Longer names are cut in the temporary's name so that ".<name>.XXXXXX" stays within NAME_MAX.
constexpr std::size_t kMaxNameInTemp = 200;

char g_pendingTemp[PATH_MAX];
volatile std::sig_atomic_t g_havePending = 0;

void removePendingAndReraise(int sig)
{
    if (g_havePending)
        ::unlink(g_pendingTemp);
    // SA_RESETHAND restored the default action, so this ends the process as the signal intended.
    ::raise(sig);
}

void cleanUpOnSignals()
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old = {};
        ::sigaction(sig, nullptr, &old);
        if (old.sa_handler == SIG_IGN)
            continue; // started under nohup or similar: stay that way
        struct sigaction action = {};
        action.sa_handler = removePendingAndReraise;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        ::sigaction(sig, &action, nullptr);
    }
}

std::string errnoText(int error)
{
    return std::strerror(error);
}

// Only a regular file may be replaced: rename would put a regular file in the place of a FIFO or a
// device (as root, /dev/null). A read-only one is one without the owner's write permission (what a
// caller clears beforehand), even for root, who could write it anyway; rename would otherwise
// replace it silently.
void checkTargetWritable(const std::string& target)
{
    struct stat st = {};
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            throw cannotWrite(target, errnoText(EISDIR));
        if (!S_ISREG(st.st_mode))
            throw cannotWrite(target, "not a regular file");
        // access() names the reason, a read-only file system included.
        if (::access(target.c_str(), W_OK) != 0)
            throw cannotWrite(target, errnoText(errno));
        if (!(st.st_mode & S_IWUSR))
            throw cannotWrite(target, errnoText(EACCES));
    } else if (errno != ENOENT) {
        throw cannotWrite(target, errnoText(errno));
    }
}

// Same idea for the directory: one with no write permission bits at all is read-only for everyone.
void checkDirectoryWritable(const std::string& target, const std::string& dir)
{
    struct stat st = {};
    if (::stat(dir.c_str(), &st) != 0)
        throw cannotWrite(target, errnoText(errno));
    if (!S_ISDIR(st.st_mode))
        throw cannotWrite(target, errnoText(ENOTDIR));
    if (::access(dir.c_str(), W_OK | X_OK) != 0)
        throw cannotWrite(target, errnoText(errno));
    if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)))
        throw cannotWrite(target, errnoText(EACCES));
}

mode_t defaultFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Through a symbolic link to the file it names, so that the link stays and that file is replaced.
std::string followLinks(const std::string& path)
{
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st = {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t n = ::readlink(current.c_str(), buffer.data(), PATH_MAX);
        if (n < 0)
            return current;
        std::string next(buffer.data(), std::size_t(n));
        if (!next.empty() && next[0] != '/') {
            const std::size_t slash = current.rfind('/');
            if (slash != std::string::npos)
                next.insert(0, current, 0, slash + 1);
        }
        current = next;
    }
    throw cannotWrite(path, errnoText(ELOOP));
}

// The target as it will be written: links followed, split into directory and name, and checked.
struct ResolvedTarget
{
    std::string path, dir, name;
};

ResolvedTarget resolveTarget(const std::string& named)
{
    if (named.empty())
        throw cannotWrite(named, errnoText(ENOENT));
    ResolvedTarget r;
    r.path = followLinks(named);
    const std::size_t slash = r.path.rfind('/');
    r.dir = slash == std::string::npos ? "." : slash == 0 ? "/" : r.path.substr(0, slash);
    r.name = slash == std::string::npos ? r.path : r.path.substr(slash + 1);
    if (r.name.empty())
        throw cannotWrite(r.path, errnoText(EISDIR));
    checkDirectoryWritable(named, r.dir);
    checkTargetWritable(r.path);
    return r;
}

} // namespace

std::optional<FileIdentity> ReplacementFile::checkTarget(const std::string& target)
{
    struct stat st = {};
    if (::stat(resolveTarget(target).path.c_str(), &st) != 0)
        return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino};
}

ReplacementFile::ReplacementFile(std::string target, Temporary temporary)
{
    const std::string named = std::move(target);
    ResolvedTarget resolved = resolveTarget(named);
    m_target = std::move(resolved.path);
    m_dir = std::move(resolved.dir);
    m_name = std::move(resolved.name);

    if (temporary == Temporary::Unnamed) {
        m_fd = ::open(m_dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        // Kernels and file systems without unnamed files answer in one of these ways.
        if (m_fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            throw cannotWrite(named, errnoText(errno));
    }
    if (m_fd < 0)
        openNamedTemporary();

    // A file that is replaced keeps its owner and permissions; a new one is an ordinary new file,
    // not the private one that a temporary starts as.
    struct stat existing = {};
    mode_t mode = defaultFileMode();
    if (::stat(m_target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
        if (::fchown(m_fd, existing.st_uid, existing.st_gid) != 0)
            mode &= ~mode_t(S_ISUID | S_ISGID); // not ours to give away: keep no privileges
    }
    if (::fchmod(m_fd, mode) != 0)
        throw cannotWrite(named, errnoText(errno));
}

std::string ReplacementFile::hiddenPrefix() const
{
    return (m_dir == "/" ? m_dir : m_dir + "/") + "." + m_name.substr(0, kMaxNameInTemp) + ".";
}

void ReplacementFile::openNamedTemporary()
{
    const std::string pattern = hiddenPrefix() + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    m_fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (m_fd < 0)
        throw cannotWrite(m_target, errnoText(errno));
    m_temp = buffer.data();
    setPending();
}

// linkat cannot replace a file, so the data takes a hidden name of its own first and rename puts it
// in place; only between the two does a kill leave something behind, and then the whole output.
void ReplacementFile::linkToHiddenName()
{
    static constexpr std::string_view kLetters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = hiddenPrefix();
        for (int i = 0; i < 6; ++i)
            temp += kLetters[random() % kLetters.size()];
        int linked = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW);
        // Without /proc the descriptor itself can be linked, by a process allowed to (root).
        if (linked != 0 && errno == ENOENT)
            linked = ::linkat(m_fd, "", AT_FDCWD, temp.c_str(), AT_EMPTY_PATH);
        if (linked == 0) {
            m_temp = temp;
            setPending();
            return;
        }
        if (errno != EEXIST)
            throw cannotWrite(m_target, errnoText(errno));
    }
    throw cannotWrite(m_target, errnoText(EEXIST));
}

void ReplacementFile::setPending()
{
    if (m_temp.size() < sizeof g_pendingTemp) {
        std::memcpy(g_pendingTemp, m_temp.c_str(), m_temp.size() + 1);
        g_havePending = 1;
        cleanUpOnSignals();
    }
}

ReplacementFile::~ReplacementFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        g_havePending = 0;
    }
}

void ReplacementFile::commit()
{
    if (::fsync(m_fd) != 0)
        throw cannotWrite(m_target, errnoText(errno));
    if (m_temp.empty())
        linkToHiddenName();
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        throw cannotWrite(m_target, errnoText(errno));
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0)
        throw cannotWrite(m_target, errnoText(errno));
    m_temp.clear();
    g_havePending = 0;

    // Best effort: the rename itself survives a crash only once the directory is on disk too.
    const int dirFd = ::open(m_dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace wavcat
