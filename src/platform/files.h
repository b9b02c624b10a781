#pragma once

#include <QByteArray>
#include <QString>

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

// `name` in the program directory when it is an executable there, else the first on PATH;
// empty when there is none.
QString findProgram(const QString& name, const QString& programDir);

// The whole file, opened for reading only (a missing file is never created). Throws AppError:
// 53 when it does not exist, 70 when it may not be read, 75 when it cannot be opened otherwise,
// 57 when reading fails part way.
QByteArray readWholeFile(const QString& path);

} // namespace quillfen
