#include "update/download/web_page.h"

#include <QByteArray>
#include <QEventLoop>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace quillfen {
namespace {

// The update check's traces under their name; the module links nothing of the program's own.
Q_LOGGING_CATEGORY(lcWebPage, "quillfen.update", QtWarningMsg)

constexpr qint32 kDirectAccess = 1;
constexpr qsizetype kReadLength = 1000;
// A home page is a few kilobytes; anything past this is not worth the wait or the memory.
constexpr qint64 kBodyCap = qint64{1024} * 1024;
constexpr qint64 kReadBufferBytes = qint64{64} * 1024;

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

QString getWebPage(const QString& url, qint32 accessType, int timeoutMs)
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
    deadline.start(timeoutMs);

    if (reply->isFinished())
        drain(true);
    else
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    QObject::disconnect(reply.get(), nullptr, &loop, nullptr);
    if (reply->error() != QNetworkReply::NoError)
        qCInfo(lcWebPage) << "download of" << url << "failed:" << reply->errorString();
    else if (reply->isRunning())
        qCInfo(lcWebPage) << "download of" << url << "stopped after" << taken << "bytes";
    if (reply->isRunning())
        reply->abort();
    return page;
}

} // namespace
} // namespace quillfen

extern "C" Q_DECL_EXPORT void quillfenGetWebPage(const QString& url, qint32 accessType, int timeoutMs,
                                                 QString* page)
{
    *page = quillfen::getWebPage(url, accessType, timeoutMs);
}
