#pragma once

#include <QString>

#include <functional>

namespace quillfen {

// Indexes of GetSystemMetrics, with the values the platform gives them.
namespace SystemMetric {
constexpr int RemoteSession = 0x1000;
} // namespace SystemMetric

// Non-zero when the metric holds; this platform has no notion of a remote session.
int GetSystemMetrics(int index);
// For tests: pretend to run in a remote session.
void setRemoteSessionForTesting(bool remote);

// Where a new conversion writes by default: the home directory on this platform.
QString defaultOutputFileName();

// The previous-instance test: true when another copy of this executable holds the instance lock,
// which has then been asked to come forward. The first copy takes the lock for its lifetime; a
// copy that was killed leaves no lock behind.
bool previousInstanceRunning(const QString& executableName);
// Where the instance lock and its socket live: a folder this user owns and nobody else may write (the
// runtime folder, else one of our own in the user's cache). Empty when there is no such folder; the
// program then starts without the one-copy check rather than trust a shared folder.
QString privateInstanceFolder();
// Gives the lock back (tests start several "copies" in one process).
void releaseInstanceLock();
// What the first copy does each time a later copy asks it to come forward.
void setActivationHandler(std::function<void()> handler);

} // namespace quillfen
