#include "update/download/mod_update_check.h"

#include "localization/string_table.h"
#include "platform/messages.h"
#include "update/log.h"
#include "update/update_check.h"
#include "version.h"

#include <QByteArray>
#include <QDesktopServices>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace quillfen {
namespace {

constexpr qint32 kDirectAccess = 1;
constexpr qsizetype kReadLength = 1000;
// A home page is a few kilobytes; anything past this is not worth the wait or the memory.
constexpr qint64 kBodyCap = qint64{1024} * 1024;
constexpr int kDefaultTimeoutMs = 30000;
constexpr qint64 kReadBufferBytes = qint64{64} * 1024;

struct Hooks
{
    std::function<bool(const QUrl&)> opener;
    int timeoutMs = kDefaultTimeoutMs;
    QString host;
};

Hooks& hooks()
{
    static Hooks instance;
    return instance;
}

// The system's proxy configuration, except that loopback never goes through a proxy (as Qt's
// application-wide default behaves, which a per-manager factory would otherwise lose).
class SystemProxies final : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        const QString host = query.peerHostName();
        if (host == QLatin1String("localhost") || QHostAddress(host).isLoopback())
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return systemProxyForQuery(query);
    }
};

bool isBlank(QByteArrayView chunk)
{
    return std::all_of(chunk.begin(), chunk.end(), [](char c) { return c == ' '; });
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
    QNetworkAccessManager manager;
    if (accessType == kDirectAccess)
        manager.setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    else
        manager.setProxyFactory(new SystemProxies);
    QNetworkRequest request{QUrl(url)};
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("HTTP Generic"));
    const std::unique_ptr<QNetworkReply> reply(manager.get(request));
    // Without a bound the network thread buffers all it can get while the reads below take their
    // 1000 bytes at a time: an endless reply grew to gigabytes before the cap was reached.
    reply->setReadBufferSize(kReadBufferBytes);

    QString page;
    QByteArray pending;
    qint64 taken = 0;
    bool done = false;
    QEventLoop loop;

    // 1000-byte reads; a read that brings nothing or only spaces is the last one, so a page that
    // starts blank ends there.
    const auto take = [&](QByteArrayView chunk) {
        page += QString::fromLatin1(chunk);
        taken += chunk.size();
        done = isBlank(chunk) || taken >= kBodyCap;
    };
    const auto drain = [&](bool atEnd) {
        if (done)
            return;
        pending += reply->read(kBodyCap - taken - pending.size());
        for (qsizetype want = std::min<qint64>(kReadLength, kBodyCap - taken);
             !done && pending.size() >= want; want = std::min<qint64>(kReadLength, kBodyCap - taken)) {
            take(QByteArrayView(pending).first(want));
            pending.remove(0, want);
        }
        if (!done && atEnd) {
            // A short read, then the empty one that ends the loop.
            take(pending);
            done = true;
        }
        if (done)
            loop.quit();
    };
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] { drain(false); });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, [&] { drain(true); });
    QTimer deadline;
    deadline.setSingleShot(true);
    // Whatever arrived by the deadline is the page; a trickling server cannot hold the window.
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] { drain(true); });
    deadline.start(hooks().timeoutMs);

    if (reply->isFinished())
        drain(true);
    else
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    QObject::disconnect(reply.get(), nullptr, &loop, nullptr);
    if (reply->error() != QNetworkReply::NoError)
        qCInfo(lcUpdate) << "download of" << url << "failed:" << reply->errorString();
    else if (reply->isRunning())
        qCInfo(lcUpdate) << "download of" << url << "stopped after" << taken << "bytes";
    if (reply->isRunning())
        reply->abort();
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

} // namespace quillfen
