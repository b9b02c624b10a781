#include "update/update_check.h"

#include "update/log.h"

#include "localization/string_table.h"
#include "platform/app_error.h"
#include "platform/messages.h"

#include <QStringList>

#include <algorithm>

Q_LOGGING_CATEGORY(lcUpdate, "quillfen.update", QtWarningMsg)

namespace quillfen {
namespace {

// Page positions are 1-based and held in 16 bits: a search result beyond this cannot be stored,
// and that search step is skipped with the position left as it was.
constexpr qsizetype kMaxPosition = 32767;
constexpr qsizetype kShortestPage = 10;
constexpr qsizetype kShortestVersion = 4;
constexpr int kFieldWidth = 4;
// From the start of "Helvetica": the word and the two characters (quote, '>') before the version.
constexpr qsizetype kVersionOffset = 11;

bool isDigits(const QString& field)
{
    return !field.isEmpty() && std::all_of(field.begin(), field.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

QString withoutLeadingZeros(const QString& digits)
{
    qsizetype first = 0;
    while (first < digits.size() && digits.at(first) == QLatin1Char('0'))
        ++first;
    return digits.mid(first);
}

// Digit fields by value, whatever their length; an empty field is 0.
int compareField(const QString& a, const QString& b)
{
    const QString x = withoutLeadingZeros(a);
    const QString y = withoutLeadingZeros(b);
    if (x.size() != y.size())
        return x.size() < y.size() ? -1 : 1;
    return QString::compare(x, y, Qt::CaseSensitive);
}

// 1-based position of `needle` at or after `from`, 0 when absent, -1 when it lies beyond what a
// position can hold.
qsizetype findFrom(const QString& page, QLatin1StringView needle, qsizetype from)
{
    const qsizetype found = page.indexOf(needle, from - 1, Qt::CaseInsensitive) + 1;
    return found > kMaxPosition ? -1 : found;
}

bool isVersionCharacter(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.');
}

} // namespace

QString PadVersionString(const QString& version)
{
    if (version.size() < kShortestVersion)
        return {};
    if (!version.contains(QLatin1Char('.'))) {
        const AppError error = AppError::make(AppError::InvalidProcedureCall);
        messages().show(
            formatErrorReport(myLoadResString(IDS_ERROR_PREFIX), error,
                              QStringLiteral(") in procedure PadVersionString of Module modUpdateCheck")),
            MessageButtons::Ok, {});
        return {};
    }
    QStringList fields = version.split(QLatin1Char('.'));
    for (QString& field : fields) {
        if (!isDigits(field))
            continue;
        const QString value = withoutLeadingZeros(field);
        field = (value.isEmpty() ? QStringLiteral("0") : value).rightJustified(kFieldWidth, QLatin1Char('0'));
    }
    return fields.join(QLatin1Char('.'));
}

QString versionFromPageText(const QString& page)
{
    if (page.size() < kShortestPage)
        return {};
    qsizetype position = 0;
    if (const qsizetype marker = findFrom(page, QLatin1StringView(">version<"), 1); marker >= 0)
        position = marker;
    // Without the marker there is nowhere to start the second search; the position stays 0.
    if (position >= 1) {
        if (const qsizetype word = findFrom(page, QLatin1StringView("Helvetica"), position); word >= 0)
            position = word;
    }
    if (position + kVersionOffset <= kMaxPosition)
        position += kVersionOffset;

    QString collected;
    while (position <= page.size() && isVersionCharacter(page.at(position - 1))) {
        collected += page.at(position - 1);
        if (position == kMaxPosition)
            break;
        ++position;
    }
    qCDebug(lcUpdate) << "version on the page:" << collected;
    return PadVersionString(collected);
}

UpdateOutcome decideUpdate(const QString& paddedOwn, const QString& paddedWeb)
{
    if (paddedWeb.isEmpty())
        return UpdateOutcome::NoVersion;
    const QStringList own = paddedOwn.split(QLatin1Char('.'));
    const QStringList web = paddedWeb.split(QLatin1Char('.'));
    for (qsizetype i = 0; i < std::min(own.size(), web.size()); ++i) {
        if (const int order = compareField(own.at(i), web.at(i)); order != 0)
            return order < 0 ? UpdateOutcome::NewerAvailable : UpdateOutcome::UpToDate;
    }
    // Equal as far as both go: a version that goes on is the newer one, as a padded text that the
    // other is a proper prefix of sorts after it ("1.0.6." is published after "1.0.6").
    return web.size() > own.size() ? UpdateOutcome::NewerAvailable : UpdateOutcome::UpToDate;
}

} // namespace quillfen
