#include "settings/settings_store.h"

#include "localization/mod_localize.h"
#include "localization/string_table.h"
#include "platform/app_error.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/settings_format.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace quillfen {
namespace {

// The group of one store: $XDG_CONFIG_HOME/Veltrane/<executable name>.ini, or on Windows the
// registry key HKEY_CURRENT_USER\Software\Veltrane\<executable name>; section "Settings".
class Store
{
public:
    Store() : m_settings(settingsFormat(), QSettings::UserScope, QStringLiteral("Veltrane"), executableName())
    {
        m_settings.beginGroup(QStringLiteral("Settings"));
    }

    // The stored names that match `key` without regard to case (INI keys are case-sensitive here).
    QStringList namesFor(const QString& key) const
    {
        QStringList names;
        for (const QString& name : m_settings.childKeys())
            if (name.compare(key, Qt::CaseInsensitive) == 0)
                names << name;
        return names;
    }

    std::optional<QString> read(const QString& key) const
    {
        const QStringList names = namesFor(key);
        if (m_settings.status() == QSettings::FormatError)
            throw AppError::make(AppError::PathFileAccessError, m_settings.fileName(),
                                 QStringLiteral("the file is malformed"));
        if (m_settings.status() != QSettings::NoError)
            throw AppError::make(AppError::PathFileAccessError, m_settings.fileName());
        if (names.isEmpty())
            return std::nullopt;
        // Several spellings only come from hand edits; the exact one wins.
        const QVariant value = m_settings.value(names.contains(key) ? key : names.first());
        // An unquoted "1234,5" comes back split at the comma; put it together again.
        if (value.typeId() == QMetaType::QStringList)
            return value.toStringList().join(QLatin1Char(','));
        return value.toString();
    }

    // Sets `key` to `text` unless the store holds exactly that already; nothing reaches the disk
    // before commit().
    void set(const QString& key, const QString& text)
    {
        bool variants = false;
        for (const QString& name : namesFor(key)) {
            if (name != key) {
                m_settings.remove(name);
                variants = true;
            }
        }
        // A file that did not parse is rewritten whole, even where a value happens to match.
        if (!variants && m_settings.status() == QSettings::NoError && m_settings.contains(key) &&
            m_settings.value(key).typeId() == QMetaType::QString && m_settings.value(key).toString() == text)
            return;
        m_settings.setValue(key, text);
        m_changed = true;
    }

    // One write, and one sync, for everything set; none when nothing changed.
    void commit()
    {
        if (!m_changed)
            return;
        m_settings.sync();
        m_changed = false;
        // A FormatError is not a failed write: the file has just been rewritten in good form.
        if (m_settings.status() == QSettings::AccessError)
            throw writeError(m_settings.fileName());
    }

private:
    static AppError writeError(const QString& fileName)
    {
        const QFileInfo file(fileName);
        const QFileInfo dir(file.absolutePath());
        const bool denied = file.isFile() ? !file.isWritable() : dir.isDir() && !dir.isWritable();
        return AppError::make(denied ? AppError::PermissionDenied : AppError::PathFileAccessError, fileName);
    }

    QSettings m_settings;
    bool m_changed = false;
};

void report(const AppError& error, const char* procedure)
{
    messages().show(formatErrorReport(myLoadResString(IDS_ERROR_PREFIX), error,
                                      QStringLiteral(") in procedure ") + QLatin1String(procedure) +
                                          QStringLiteral(" of Module Module1")),
                    MessageButtons::Ok, {});
}

struct GeometryValue
{
    const char* loadKey;
    const char* saveKey;
    float (SettingsWindow::*get)() const;
    void (SettingsWindow::*set)(float);
    float (SettingsWindow::*largest)() const; // sizes only

    float limited(const SettingsWindow& window, float value) const
    {
        return largest ? std::min(value, (window.*largest)()) : value;
    }
};

// "Formtop" is looked up as it has always been spelt; the case-blind match finds "FormTop".
constexpr GeometryValue kGeometry[] = {
    {"FormLeft", "FormLeft", &SettingsWindow::Left, &SettingsWindow::setLeft, nullptr},
    {"Formtop", "FormTop", &SettingsWindow::Top, &SettingsWindow::setTop, nullptr},
    {"FormWidth", "FormWidth", &SettingsWindow::Width, &SettingsWindow::setWidth,
     &SettingsWindow::largestWidth},
    {"FormHeight", "FormHeight", &SettingsWindow::Height, &SettingsWindow::setHeight,
     &SettingsWindow::largestHeight},
};

} // namespace

QString settingsNumberText(float value, const QLocale& locale)
{
    QLocale form(locale);
    form.setNumberOptions(QLocale::OmitGroupSeparator);
    return form.toString(double(value), 'g', 7);
}

float parseSettingsNumber(const QString& text, const QLocale& locale)
{
    // Group separators are tried last: we never write them, and "1.234" from a store written under
    // the C locale must not become 1234 under a German one.
    QLocale strict(locale);
    strict.setNumberOptions(QLocale::RejectGroupSeparator);
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    QLocale lenient(locale);
    lenient.setNumberOptions(QLocale::DefaultNumberOptions);

    bool ok = false;
    double value = strict.toDouble(text, &ok);
    if (!ok)
        value = c.toDouble(text, &ok);
    if (!ok)
        value = lenient.toDouble(text, &ok);
    // QLocale takes "nan" and "inf"; neither is a window position.
    if (!ok || !std::isfinite(value) || std::fabs(value) > double(std::numeric_limits<float>::max()))
        throw AppError::make(AppError::TypeMismatch);
    return float(value);
}

void LoadSettings(SettingsWindow& window)
{
    // One store for all steps: QSettings reports a file it could not parse only on the first
    // read, and every step that reads from such a file must fail rather than trust what it got.
    const Store store;
    for (const GeometryValue& g : kGeometry) {
        reportAndContinue(
            [&] {
                // A missing key means the current value, which is left exactly as it is.
                if (const auto text = store.read(QLatin1String(g.loadKey)))
                    (window.*g.set)(g.limited(window, parseSettingsNumber(*text, QLocale::system())));
            },
            [](const AppError& e) { report(e, "LoadSettings"); });
    }
}

void SaveSettings(const SettingsWindow& window)
{
    // All five entries go to the disk in one write: start-up and exit each sync it once at most, and
    // not at all when the store holds these values already. A store that refuses the write fails
    // every step that had something to write, so such a store still gives five reports.
    const auto onError = [](const AppError& e) { report(e, "SaveSettings"); };
    Store store;
    int written = 0;
    for (const GeometryValue& g : kGeometry) {
        if (reportAndContinue(
                [&] {
                    store.set(QLatin1String(g.saveKey),
                              settingsNumberText(g.limited(window, (window.*g.get)()), QLocale::system()));
                },
                onError))
            ++written;
    }
    if (reportAndContinue(
            [&] { store.set(QStringLiteral("EXEPath"), QDir::toNativeSeparators(programDirectory())); },
            onError))
        ++written;
    try {
        store.commit();
    } catch (const AppError& e) {
        for (int i = 0; i < written; ++i)
            onError(e);
    }
}

} // namespace quillfen
