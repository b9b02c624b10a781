#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace quillfen {

// Priority classes, with the values the platform gives them.
namespace Priority {
constexpr std::int32_t Idle = 0x0040;
constexpr std::int32_t BelowNormal = 0x4000;
constexpr std::int32_t Normal = 0x0020;
constexpr std::int32_t AboveNormal = 0x8000;
constexpr std::int32_t High = 0x0080;
constexpr std::int32_t Realtime = 0x0100;
} // namespace Priority

// A wait without a time limit.
constexpr std::int32_t kInfiniteWait = -1;

// Lowers (or raises, where allowed) the priority of the running process. -1 when it took effect,
// 0 otherwise, including for a class that is not known.
std::int16_t SetPriority(std::int32_t priorityClass);

// Keeps the memory of large buffers with the process once they are freed, for the next ones of their
// size, rather than giving it back to the system and faulting it in afresh. For work that makes
// many such buffers one after another; it lasts as long as the process. Never throws.
void keepFreedMemory();

// Blocks until process `pid` has ended or `timeoutMs` passed (negative: no limit). -1 (true) unless
// the wait itself failed; a pid that is gone fails at once with 0. Never throws. Does not reap.
std::int16_t WaitForProcess(std::int64_t pid, std::int32_t timeoutMs);

// Waits at most `timeoutMs` (negative: no limit) for process `pid` to end, without reaping it. True
// once it has ended or is gone (or, not being our child, cannot be watched); false while it still
// runs. Never throws.
bool waitForProcessEnd(std::int64_t pid, std::int32_t timeoutMs);

// Asks process `pid` to end, as the system's polite request does, so that it can clean up after
// itself; it may take a moment. False when the request could not be made. Never throws.
bool terminateProcess(std::int64_t pid);

// How many bytes process `pid` has written so far, to files and elsewhere; nullopt when the system
// does not say. Never throws.
std::optional<std::int64_t> processBytesWritten(std::int64_t pid);

// Where a child's standard error goes: a temporary file that has no name from the moment it is
// made, so nothing is left behind however the program or the child ends.
class ChildLog
{
public:
    ChildLog(); // throws AppError when no temporary file can be made
    ~ChildLog();
    ChildLog(const ChildLog&) = delete;
    ChildLog& operator=(const ChildLog&) = delete;

    // What the child wrote, as one line: its lines joined by "; ", at most the first 4 KiB.
    QString text() const;
    int handle() const { return m_handle; }

private:
    int m_handle = -1;
};

// Starts `program` with exactly these arguments (no shell, nothing re-parsed), no input, output
// discarded, standard error to `errors` (discarded when null), in `workingDirectory`.
// Returns the process id; throws AppError when the process cannot be started.
std::int64_t startProcessHidden(const QString& program, const QStringList& arguments,
                                const QString& workingDirectory, const ChildLog* errors);

struct ProcessExit
{
    bool exited = false; // false: ended by a signal
    int code = 0;        // exit code, or the signal number
};

// Collects the end of our own child `pid`, waiting for it if needed; nullopt when it is not ours.
std::optional<ProcessExit> reapChild(std::int64_t pid);

} // namespace quillfen
