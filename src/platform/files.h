#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>

namespace quillfen {

// The directory of the running executable (symbolic links resolved), without a trailing separator.
QString programDirectory();

// True for an existing file (not a directory), following symbolic links.
bool FileExists(const QString& path);

// Read-only means the owner may not write; clearing adds owner write and leaves other bits alone.
bool isReadOnly(const QString& path);
void clearReadOnly(const QString& path); // throws AppError
void setReadOnly(const QString& path);   // throws AppError

void setCurrentDirectory(const QString& directory); // throws AppError

// The file a typed output name means: a relative name lies in `baseDir` (where the default output
// lies), "~/" starts in `homeDir`, an absolute path is itself. An empty name stays empty.
QString absoluteOutputPath(const QString& name, const QString& baseDir, const QString& homeDir);

// `name` in the program directory when it is an executable there, else the first on PATH;
// empty when there is none.
QString findProgram(const QString& name, const QString& programDir);

// Throws AppError 75 naming `output` when a join of `inputs` may not replace it: when it exists and
// is not a regular file (through symbolic links), or is one of the inputs under any name (links
// included). Relative paths are taken in `baseDir`.
void checkReplaceableOutput(const QString& output, const QStringList& inputs, const QString& baseDir);

// The whole file, opened for reading only (a missing file is never created). Throws AppError:
// 53 when it does not exist, 70 when it may not be read, 75 when it cannot be opened otherwise,
// 57 when reading fails part way. `opened` runs once the file is open, before it is read.
QByteArray readWholeFile(const QString& path, const std::function<void()>& opened = {});

// Opens `path` (in the file system's encoding) for reading when it is a regular file, and returns the
// descriptor (close-on-exec). Opening a pipe or a device can block or have effects of its own, so
// anything else is refused before it is opened, and again on the open descriptor against a swap in
// between. Throws AppError naming the file: 53 when it does not exist, 70 when it may not be read,
// 75 for a directory, a pipe, socket or device, or when it cannot be opened otherwise. The texts
// speak of recordings: the decoder is what opens files this way.
int openRegularFileForReading(const std::string& path);
// Closes a descriptor from openRegularFileForReading that nothing else took over.
void closeDescriptor(int fd);
// Makes standard input give its bytes as they come: Windows' text mode would end a recording at its
// first 0x1A byte and drop the CR of every CR LF pair. Nothing to do on POSIX systems.
void useBinaryStandardInput();

// True for a file whose type (by name and content) is text of any kind.
bool isTextFile(const QString& path);
// A text file's bytes as text: the encoding its byte-order mark names, else UTF-8, else Latin-1;
// CR LF and CR become LF.
QString textFromFile(const QByteArray& bytes);

// Renames `from` to `to` in one step, replacing a file already at `to`. Throws AppError 75.
void replaceFile(const QString& from, const QString& to);

// True when `path` (not followed if it is a link) belongs to the user running the program and nobody
// else may write it: what the program may trust that it made itself.
bool isOwnPrivate(const QString& path);

// An advisory lock on a file that the system drops when its holder ends, however it ends; held until
// destroyed. Locks of other processes are seen; locks of this process on another open are too.
class FileLock
{
public:
    // The lock without waiting; null when another holds it or the file cannot be opened (it is
    // made, readable by the user alone, when `create`).
    static std::unique_ptr<FileLock> tryTake(const QString& path, bool create);
    // A new file at `path` that is locked from the moment it has a name; null when `path` exists or
    // cannot be made.
    static std::unique_ptr<FileLock> createLocked(const QString& path);
    ~FileLock();
    // Children started from now on hold the lock with us until they end, so work they go on with
    // after we are gone still counts as ours.
    void shareWithChildren();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    explicit FileLock(int handle) : m_handle(handle) {}
    // The lock on an open file, which is closed when the lock cannot be had; null for a failed open.
    static std::unique_ptr<FileLock> lockedOrClosed(int handle);
    int m_handle;
};

} // namespace quillfen
