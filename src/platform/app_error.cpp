#include "platform/app_error.h"

namespace quillfen {

QString catalogueDescription(int number)
{
    switch (number) {
    case AppError::InvalidProcedureCall:
        return QStringLiteral("Invalid procedure call or argument");
    case AppError::Overflow:
        return QStringLiteral("Overflow");
    case AppError::TypeMismatch:
        return QStringLiteral("Type mismatch");
    case AppError::BadFileName:
        return QStringLiteral("Bad file name or number");
    case AppError::FileNotFound:
        return QStringLiteral("File not found");
    case AppError::DeviceIoError:
        return QStringLiteral("Device I/O error");
    case AppError::PermissionDenied:
        return QStringLiteral("Permission denied");
    case AppError::PathFileAccessError:
        return QStringLiteral("Path/File access error");
    case AppError::PathNotFound:
        return QStringLiteral("Path not found");
    case AppError::ResourceNotFound:
        return QStringLiteral("Resource not found");
    default:
        return QStringLiteral("Application-defined or object-defined error");
    }
}

AppError AppError::make(Number number, const QString& detail)
{
    QString text = catalogueDescription(number);
    if (!detail.isEmpty())
        text += QStringLiteral(": ") + detail;
    return AppError(number, text);
}

AppError AppError::make(Number number, const QString& subject, const QString& reason)
{
    return make(number, subject + QStringLiteral(" (") + reason + QLatin1Char(')'));
}

QString formatErrorReport(const QString& prefix, const AppError& error, const QString& closing)
{
    return prefix + QString::number(error.number) + QStringLiteral(" (") + error.description + closing;
}

bool reportAndContinue(const std::function<void()>& step, const std::function<void(const AppError&)>& report)
{
    try {
        step();
        return true;
    } catch (const AppError& e) {
        report(e);
    } catch (const std::exception& e) {
        // Anything else that escapes a step (allocation, a library) still must not end the program.
        report(AppError(AppError::InvalidProcedureCall, QString::fromLocal8Bit(e.what())));
    }
    return false;
}

} // namespace quillfen
