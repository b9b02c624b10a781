#include "localization/qt_translations.h"

#include "localization/language_codes.h"
#include "localization/log.h"
#include "platform/files.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

#include <memory>

namespace quillfen {
namespace {

struct QtTexts
{
    std::unique_ptr<QTranslator> translator;
    QStringList folders;
};

QtTexts& qtTexts()
{
    static QtTexts t;
    return t;
}

QStringList folders()
{
    if (!qtTexts().folders.isEmpty())
        return qtTexts().folders;
    return {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
            QDir(programDirectory()).filePath(QStringLiteral("translations"))};
}

} // namespace

void setQtTranslationsFolders(const QStringList& list)
{
    qtTexts().folders = list;
}

bool followLanguageInQtTexts(std::int32_t lcid)
{
    QtTexts& t = qtTexts();
    if (t.translator) {
        QCoreApplication::removeTranslator(t.translator.get());
        t.translator.reset();
    }
    const QString locale = localeNameForLcid(lcid);
    if (!QCoreApplication::instance() || locale.isEmpty() || lcid == kTtyLcid)
        return false;
    auto translator = std::make_unique<QTranslator>();
    for (const QString& folder : folders()) {
        if (translator->load(QLocale(locale), QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator.get());
            t.translator = std::move(translator);
            qCDebug(lcLocalization) << "Qt's texts from" << t.translator->filePath();
            return true;
        }
    }
    qCDebug(lcLocalization) << "no Qt translation for" << locale;
    return false;
}

} // namespace quillfen
