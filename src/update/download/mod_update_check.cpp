#include "update/download/mod_update_check.h"

#include "localization/string_table.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "update/download/web_page.h"
#include "update/log.h"
#include "update/update_check.h"
#include "version.h"

#include <QDesktopServices>
#include <QDir>
#include <QLibrary>

namespace quillfen {
namespace {

constexpr int kDefaultTimeoutMs = 30000;

struct Hooks
{
    std::function<bool(const QUrl&)> opener;
    int timeoutMs = kDefaultTimeoutMs;
    QString host;
    QString moduleDir;
};

Hooks& hooks()
{
    static Hooks instance;
    return instance;
}

} // namespace

QString GetHomePageUrl()
{
    const QString host = hooks().host.isEmpty() ? QStringLiteral(QUILLFEN_HOME_HOST) : hooks().host;
    return QStringLiteral("http://") + host + QStringLiteral("/App_Quillfen.htm");
}

QString ownVersionText()
{
    return QString::number(version::kMajor) + QLatin1Char('.') + QString::number(version::kMinor) +
           QLatin1Char('.') + QString::number(version::kRevision);
}

QString GetWebPage(const QString& url, qint32 accessType)
{
    const QString dir = hooks().moduleDir.isEmpty() ? programDirectory() : hooks().moduleDir;
    // Never unloaded: a later check finds it in place.
    QLibrary module(QDir(dir).filePath(QString::fromLatin1(kWebPageModule)));
    const auto download = reinterpret_cast<GetWebPageFunction>(module.resolve(kGetWebPage));
    if (!download) {
        qCInfo(lcUpdate) << "no download:" << module.errorString();
        return {}; // as a server that cannot be reached
    }
    QString page;
    download(url, accessType, hooks().timeoutMs, &page);
    return page;
}

QString GetVersionFromWebPage(const QString& url)
{
    return versionFromPageText(GetWebPage(url, 0));
}

void CheckForUpdatedVersion()
{
    const QString url = GetHomePageUrl();
    const QString webVersion = GetVersionFromWebPage(url);
    const QString ownVersion = PadVersionString(ownVersionText());

    switch (decideUpdate(ownVersion, webVersion)) {
    case UpdateOutcome::NoVersion:
        messages().show(myLoadResString(IDS_HOME_PAGE_UNREACHABLE), MessageButtons::Ok, {});
        break;
    case UpdateOutcome::NewerAvailable:
        if (messages().show(myLoadResString(IDS_UPDATE_AVAILABLE), MessageButtons::OkCancel,
                            myLoadResString(IDS_UPDATE_AVAILABLE_TITLE)) == MessageResult::Ok) {
            // Whether a browser came up is not ours to report.
            if (const auto& opener = hooks().opener)
                opener(QUrl(url));
            else
                QDesktopServices::openUrl(QUrl(url));
        }
        break;
    case UpdateOutcome::UpToDate:
        messages().show(myLoadResString(IDS_UP_TO_DATE), MessageButtons::Ok, {});
        break;
    }
}

void setUrlOpener(std::function<bool(const QUrl&)> opener)
{
    hooks().opener = std::move(opener);
}

void setWebPageTimeoutForTesting(int milliseconds)
{
    hooks().timeoutMs = milliseconds > 0 ? milliseconds : kDefaultTimeoutMs;
}

void setHomeHostForTesting(const QString& host)
{
    hooks().host = host;
}

void setWebPageModuleDirectoryForTesting(const QString& directory)
{
    hooks().moduleDir = directory;
}

} // namespace quillfen
