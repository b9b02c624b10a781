#include "platform/files.h"

#include "platform/app_error.h"
#include "platform/process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMimeType>
#include <QStandardPaths>
#include <QStringDecoder>

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

QString absoluteOutputPath(const QString& name, const QString& baseDir, const QString& homeDir)
{
    if (name.isEmpty())
        return name;
    if (name == QLatin1String("~") || name.startsWith(QLatin1String("~/")))
        return QDir::cleanPath(homeDir + name.mid(1));
    if (QDir::isAbsolutePath(name))
        return name;
    return QDir::cleanPath(QDir(baseDir).filePath(name));
}

QString findProgram(const QString& name, const QString& programDir)
{
    // Qt's search adds the system's program suffixes (.exe on Windows) and checks executability.
    const QString local = QStandardPaths::findExecutable(name, {programDir});
    return local.isEmpty() ? QStandardPaths::findExecutable(name) : local;
}

QByteArray readWholeFile(const QString& path, const std::function<void()>& opened)
{
    QFile file(path);
    if (!file.exists())
        throw AppError::make(AppError::FileNotFound, path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError::make(file.error() == QFileDevice::PermissionsError ? AppError::PermissionDenied
                                                                           : AppError::PathFileAccessError,
                             path, file.errorString());
    if (opened)
        opened();
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw AppError::make(AppError::DeviceIoError, path, file.errorString());
    return bytes;
}

bool isTextFile(const QString& path)
{
    return QFileInfo(path).isFile() &&
           QMimeDatabase().mimeTypeForFile(path).inherits(QStringLiteral("text/plain"));
}

QString textFromFile(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf8));
    QString text = decoder(bytes);
    if (decoder.hasError())
        text = QString::fromLatin1(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace quillfen
