#include "platform/files.h"

#include "platform/app_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace quillfen {

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    QFileInfo info(path);
    return info.exists() && !info.isDir();
}

void setCurrentDirectory(const QString& directory)
{
    if (!QDir::setCurrent(directory))
        throw AppError::make(AppError::PathNotFound, directory);
}

QString findProgram(const QString& name, const QString& programDir)
{
    const QFileInfo local(QDir(programDir).filePath(name));
    if (local.isFile() && local.isExecutable())
        return local.absoluteFilePath();
    return QStandardPaths::findExecutable(name);
}

QByteArray readWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        throw AppError::make(AppError::FileNotFound, path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError::make(file.error() == QFileDevice::PermissionsError ? AppError::PermissionDenied
                                                                           : AppError::PathFileAccessError,
                             path, file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw AppError::make(AppError::DeviceIoError, path, file.errorString());
    return bytes;
}

} // namespace quillfen
