#include "localization/mod_localize.h"

#include "localization/qt_translations.h"

#include "localization/language_codes.h"
#include "localization/language_library.h"
#include "localization/log.h"
#include "localization/open_forms.h"
#include "localization/string_table.h"
#include "platform/app_error.h"
#include "platform/files.h"
#include "platform/messages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <functional>
#include <map>

Q_LOGGING_CATEGORY(lcLocalization, "quillfen.localization", QtWarningMsg)

namespace quillfen {
namespace {

struct State
{
    std::int32_t currentLcid = 0;
    std::int32_t languageLibrary = 0;
    QStringList loadedLanguages;
    QString directory;
    QString exeName;
    std::map<std::int32_t, LanguageLibraryFile> libraries;
    std::int32_t nextHandle = 1;
};

State& state()
{
    static State s;
    return s;
}

void reportInitError(const AppError& e)
{
    messages().show(QStringLiteral("Error in InitalizeLanguages: ") + e.description, MessageButtons::Ok, {});
}

// File names of the program directory in the order the system lists them. Throws AppError.
QStringList listFiles(const QString& directory)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(QFile::encodeName(directory).toStdString(), ec);
    if (ec)
        throw AppError::make(ec == std::errc::permission_denied ? AppError::PermissionDenied
                                                                : AppError::PathNotFound,
                             directory, QString::fromStdString(ec.message()));
    QStringList names;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError))
            names << QFile::decodeName(QByteArray::fromStdString(it->path().filename().string()));
    }
    if (ec)
        throw AppError::make(AppError::DeviceIoError, directory, QString::fromStdString(ec.message()));
    return names;
}

} // namespace

std::int32_t CurrentLCID()
{
    return state().currentLcid;
}

void setCurrentLCID(std::int32_t lcid)
{
    state().currentLcid = lcid;
}

std::int32_t LanguageLibrary()
{
    return state().languageLibrary;
}

const QStringList& LoadedLanguages()
{
    return state().loadedLanguages;
}

void setProgramLocation(const QString& directory, const QString& exeName)
{
    state().directory = directory;
    state().exeName = exeName;
}

QString executableName()
{
    if (!state().exeName.isEmpty())
        return state().exeName;
    if (QCoreApplication::instance())
        return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return QStringLiteral("Quillfen");
}

QString languageDirectory()
{
    return state().directory.isEmpty() ? programDirectory() : state().directory;
}

std::int32_t LoadLibraryExW(const QString& path)
{
    auto file = LanguageLibraryFile::load(QFile::encodeName(path).toStdString());
    if (!file) {
        qCInfo(lcLocalization) << "language library refused (missing, unreadable or malformed):" << path;
        return 0;
    }
    State& s = state();
    const std::int32_t handle = s.nextHandle++;
    s.libraries.emplace(handle, std::move(*file));
    return handle;
}

void FreeLibrary(std::int32_t handle)
{
    state().libraries.erase(handle);
}

int LoadStringW(std::int32_t module, std::int32_t id, QString& text, int bufferLength)
{
    text.clear();
    if (bufferLength <= 0)
        return 0;
    QString found;
    if (module == 0) {
        found = ownString(id).value_or(QString());
    } else {
        const auto it = state().libraries.find(module);
        if (it == state().libraries.end())
            return 0;
        const std::u16string s =
            it->second.string(id, static_cast<std::uint16_t>(state().currentLcid & 0xFFFF));
        found = QString::fromUtf16(s.data(), qsizetype(s.size()));
    }
    text = found.left(bufferLength - 1);
    return int(text.size());
}

void InitalizeLanguages()
{
    State& s = state();
    reportAndContinue(
        [&] {
            if (s.currentLcid == 0)
                s.currentLcid = GetUserDefaultLangID(); // widened with its sign
        },
        reportInitError);
    reportAndContinue(
        [&] {
            if (s.languageLibrary > 0)
                FreeLibrary(s.languageLibrary);
            s.languageLibrary = 0;
        },
        reportInitError);

    const QString exe = executableName();
    const QString directory = languageDirectory();
    reportAndContinue(
        [&] {
            const QString code = GetLanguageCode(s.currentLcid);
            const QString path =
                directory + QLatin1Char('/') + exe + QLatin1Char('_') + code + QStringLiteral(".dll");
            s.languageLibrary = LoadLibraryExW(path);
        },
        reportInitError);

    // Qt's own texts follow the language whose library is in force, and go back with it.
    followLanguageInQtTexts(s.languageLibrary > 0 ? s.currentLcid : 0);

    QStringList found;
    reportAndContinue(
        [&] {
            const QString prefix = exe + QLatin1Char('_');
            for (const QString& name : listFiles(directory)) {
                if (!name.startsWith(prefix, Qt::CaseInsensitive) ||
                    name.right(3).compare(QLatin1String("DLL"), Qt::CaseInsensitive) != 0)
                    continue;
                // The three characters before the last four, whatever they are.
                if (name.size() < 7) {
                    reportInitError(AppError::make(AppError::InvalidProcedureCall, name));
                    continue;
                }
                found << name.mid(name.size() - 7, 3);
            }
        },
        reportInitError);
    s.loadedLanguages = found.isEmpty() ? QStringList{QString()} : found;
    qCDebug(lcLocalization) << "languages in" << directory << ":" << found << "current LCID" << s.currentLcid;

    for (const OpenForm& form : openForms())
        if (form.setFonts && !form.form.isNull())
            form.setFonts();
}

void SwitchLanguage(std::int32_t lcid)
{
    const auto quietly = [](const std::function<void()>& step) {
        if (!step)
            return;
        try {
            step();
        } catch (...) {
            // A language switch never stops half way.
        }
    };
    quietly([lcid] { setCurrentLCID(lcid); });
    quietly([] { InitalizeLanguages(); });
    for (const OpenForm& form : openForms()) {
        // A form may be gone by now: a message box inside another one's captions runs events.
        for (const auto* step : {&form.setFonts, &form.autoInit, &form.refresh})
            if (!form.form.isNull())
                quietly(*step);
    }
}

void resetLanguageState()
{
    State& s = state();
    s.currentLcid = 0;
    s.languageLibrary = 0;
    s.loadedLanguages.clear();
    s.libraries.clear();
    s.directory.clear();
    s.exeName.clear();
    followLanguageInQtTexts(0);
}

} // namespace quillfen
