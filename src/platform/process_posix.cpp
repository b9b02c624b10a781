// Linux stand-ins for the process interfaces: posix_spawn, pidfd + poll, setpriority, kill and
// /proc/<pid>/io.
#include "platform/process.h"

#include "platform/app_error.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <malloc.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace quillfen {
namespace {

std::optional<int> niceForClass(std::int32_t priorityClass)
{
    switch (priorityClass) {
    case Priority::Idle:
        return 19;
    case Priority::BelowNormal:
        return 10;
    case Priority::Normal:
        return 0;
    case Priority::AboveNormal:
        return -5;
    case Priority::High:
        return -10;
    case Priority::Realtime:
        return -20; // the strongest nice value, not a real-time policy
    default:
        return std::nullopt;
    }
}

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

std::int16_t SetPriority(std::int32_t priorityClass)
{
    const auto nice = niceForClass(priorityClass);
    if (!nice)
        return 0;
    // A nice value belongs to one thread here: give it to every thread the process has, so the
    // whole process runs at the class, as threads started later inherit it from this one.
    bool all = true;
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        const id_t tid = id_t(std::strtoul(task.path().filename().c_str(), nullptr, 10));
        if (tid != 0 && ::setpriority(PRIO_PROCESS, tid, *nice) != 0 && errno != ESRCH)
            all = false;
    }
    if (::setpriority(PRIO_PROCESS, 0, *nice) != 0 || !all)
        return 0;
    errno = 0;
    const int now = ::getpriority(PRIO_PROCESS, 0);
    return (errno == 0 && now == *nice) ? -1 : 0;
}

void keepFreedMemory()
{
    // Past its mmap threshold the allocator maps every buffer and unmaps it when freed, and each
    // thread's heap hands its free top back: either way the pages are faulted in again next time.
    constexpr int kMapAbove = 8 << 20;
    constexpr int kTrimAbove = 32 << 20;
    ::mallopt(M_MMAP_THRESHOLD, kMapAbove);
    ::mallopt(M_TRIM_THRESHOLD, kTrimAbove);
}

std::int16_t WaitForProcess(std::int64_t pid, std::int32_t timeoutMs)
{
    if (pid <= 0)
        return 0;
    // glibc 2.36's <sys/pidfd.h> is not C++-clean, hence the raw system call.
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
    if (fd < 0)
        return 0;
    std::int16_t result = -1;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            wait = static_cast<int>(std::max<std::int64_t>(0, left.count()));
        }
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, wait);
        if (r >= 0)
            break; // ended, or timed out: both count as a successful wait
        if (errno != EINTR) {
            result = 0;
            break;
        }
    }
    ::close(fd);
    return result;
}

bool waitForProcessEnd(std::int64_t pid, std::int32_t timeoutMs)
{
    if (pid <= 0)
        return true;
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
    if (fd < 0) {
        if (errno == ESRCH)
            return true;
        // No descriptor to spare: our own child can still be asked, after the wait.
        if (timeoutMs > 0)
            ::usleep(useconds_t(timeoutMs) * 1000U);
        siginfo_t info{};
        if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
            return true; // not ours, or gone: nothing left to wait for
        return info.si_pid != 0;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    int r = 0;
    for (;;) {
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            wait = static_cast<int>(std::max<std::int64_t>(0, left.count()));
        }
        pollfd p{fd, POLLIN, 0};
        r = ::poll(&p, 1, wait);
        if (r >= 0 || errno != EINTR)
            break;
    }
    ::close(fd);
    return r > 0;
}

bool terminateProcess(std::int64_t pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), SIGTERM) == 0;
}

std::optional<std::int64_t> processBytesWritten(std::int64_t pid)
{
    if (pid <= 0)
        return std::nullopt;
    // "wchar" counts every byte the process handed to write(), whether or not it has reached the disk.
    QFile io(QStringLiteral("/proc/%1/io").arg(pid));
    if (!io.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (!line.startsWith("wchar:"))
            continue;
        bool ok = false;
        const qlonglong bytes = line.mid(6).trimmed().toLongLong(&ok);
        if (ok)
            return bytes;
    }
    return std::nullopt;
}

ChildLog::ChildLog()
{
    const QByteArray dir = QFile::encodeName(QDir::tempPath());
    m_handle = ::open(dir.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (m_handle < 0) {
        // A file system without unnamed files: the name goes as soon as the file is open.
        QByteArray name = dir + "/quillfen-child-XXXXXX";
        m_handle = ::mkostemp(name.data(), O_CLOEXEC);
        if (m_handle >= 0)
            ::unlink(name.constData());
    }
    if (m_handle < 0)
        throw AppError::make(AppError::PathFileAccessError, QDir::tempPath(),
                             QStringLiteral("cannot create a temporary file there: ") + errnoText(errno));
}

ChildLog::~ChildLog()
{
    ::close(m_handle);
}

QString ChildLog::text() const
{
    QByteArray bytes(4096, Qt::Uninitialized);
    const ssize_t n = ::pread(m_handle, bytes.data(), size_t(bytes.size()), 0);
    bytes.resize(n > 0 ? n : 0);
    return QString::fromUtf8(bytes)
        .trimmed()
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
        .join(QStringLiteral("; "));
}

std::int64_t startProcessHidden(const QString& program, const QStringList& arguments,
                                const QString& workingDirectory, const ChildLog* errors)
{
    if (program.isEmpty())
        throw AppError::make(AppError::FileNotFound, QStringLiteral("program name is empty"));

    std::vector<QByteArray> storage;
    storage.reserve(arguments.size() + 1);
    storage.push_back(QFile::encodeName(program).split('/').last());
    for (const QString& a : arguments)
        storage.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (errors)
        posix_spawn_file_actions_adddup2(&actions, errors->handle(), 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const QByteArray dir = QFile::encodeName(workingDirectory);
    if (!workingDirectory.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, dir.constData());

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    const QByteArray path = QFile::encodeName(program);
    const int err = ::posix_spawn(&pid, path.constData(), &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) {
        switch (err) {
        case ENOENT:
            throw AppError::make(AppError::FileNotFound, program, errnoText(err));
        case EACCES:
        case EPERM:
            throw AppError::make(AppError::PermissionDenied, program, errnoText(err));
        default:
            throw AppError::make(AppError::InvalidProcedureCall, program, errnoText(err));
        }
    }
    return pid;
}

std::optional<ProcessExit> reapChild(std::int64_t pid)
{
    if (pid <= 0)
        return std::nullopt;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(static_cast<pid_t>(pid), &status, 0);
    } while (r < 0 && errno == EINTR);
    if (r != pid)
        return std::nullopt;
    if (WIFEXITED(status))
        return ProcessExit{true, WEXITSTATUS(status)};
    return ProcessExit{false, WTERMSIG(status)};
}

} // namespace quillfen
