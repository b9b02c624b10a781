#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace quillfen {

constexpr std::int32_t BELOW_NORMAL_PRIORITY_CLASS = 0x4000;
constexpr std::int32_t INFINITE_WAIT = -1;

// Lowers (or raises, where allowed) the priority of the running process. -1 when it took effect,
// 0 otherwise, including for a class that is not known.
std::int16_t SetPriority(std::int32_t priorityClass);

// Blocks until process `pid` has ended or `timeoutMs` passed (negative: no limit). -1 (true) unless
// the wait itself failed; a pid that is gone fails at once with 0. Never throws. Does not reap.
std::int16_t WaitForProcess(std::int64_t pid, std::int32_t timeoutMs);

// Starts `program` with exactly these arguments (no shell, nothing re-parsed), no input, output
// discarded, standard error to `stderrPath` (discarded when empty), in `workingDirectory`.
// Returns the process id; throws AppError when the process cannot be started.
std::int64_t startProcessHidden(const QString& program, const QStringList& arguments,
                                const QString& workingDirectory, const QString& stderrPath);

struct ProcessExit
{
    bool exited = false; // false: ended by a signal
    int code = 0;        // exit code, or the signal number
};

// Collects the end of our own child `pid`, waiting for it if needed; nullopt when it is not ours.
std::optional<ProcessExit> reapChild(std::int64_t pid);

} // namespace quillfen
