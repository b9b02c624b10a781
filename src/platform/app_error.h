#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <string>

namespace quillfen {

// An error as the user sees it: a number from the classic runtime catalogue and a description.
struct AppError : std::exception
{
    enum Number {
        InvalidProcedureCall = 5,
        Overflow = 6,
        TypeMismatch = 13,
        BadFileName = 52,
        FileNotFound = 53,
        DeviceIoError = 57,
        PermissionDenied = 70,
        PathFileAccessError = 75,
        PathNotFound = 76,
        ResourceNotFound = 326,
    };

    AppError(int number, QString description)
        : number(number), description(std::move(description)), m_what(this->description.toStdString())
    {
    }
    // The catalogue description, with `detail` (a file name, a reason) after a colon when given.
    static AppError make(Number number, const QString& detail = {});
    // The same, with the detail "<subject> (<reason>)": a path or program and what the system said.
    static AppError make(Number number, const QString& subject, const QString& reason);

    // The description in UTF-8, so that code catching only std::exception still says what failed.
    const char* what() const noexcept override { return m_what.c_str(); }

    int number;
    QString description; // what() keeps the text given at construction

private:
    std::string m_what;
};

QString catalogueDescription(int number);

// "<prefix><number> (<description><closing>": the report form every error message takes.
QString formatErrorReport(const QString& prefix, const AppError& error, const QString& closing);

// Runs one step; an AppError or any std::exception goes to `report` and the caller carries on with
// its next step. Returns false when the step failed.
bool reportAndContinue(const std::function<void()>& step, const std::function<void(const AppError&)>& report);

} // namespace quillfen
