#include "update/mod_update_check.h"

#include "localization/string_table.h"
#include "platform/messages.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QVersionNumber>

#include <vector>

using namespace quillfen;

namespace {

// A home page on 127.0.0.1, served by whatever event loop runs on this thread (the download's own
// included). It stops with the object.
class FakeHomePage
{
public:
    enum class Behaviour { Answer, NeverAnswer, Trickle };

    explicit FakeHomePage(QByteArray body, QByteArray status = "200 OK",
                          Behaviour behaviour = Behaviour::Answer)
        : m_response("HTTP/1.1 " + status + "\r\nConnection: close\r\n")
    {
        if (behaviour == Behaviour::Answer)
            m_response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        m_response += "\r\n" + body;
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost));
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this, behaviour] {
            QTcpSocket* socket = m_server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, behaviour] {
                request += socket->readAll();
                if (!request.endsWith("\r\n\r\n") || behaviour == Behaviour::NeverAnswer)
                    return;
                socket->write(m_response);
                if (behaviour == Behaviour::Answer) {
                    socket->disconnectFromHost();
                } else {
                    QObject::connect(&m_trickle, &QTimer::timeout, socket, [socket] { socket->write("7"); });
                    m_trickle.start(10);
                }
            });
        });
    }

    QString host() const { return "127.0.0.1:" + QString::number(m_server.serverPort()); }
    QString url() const { return "http://" + host() + "/App_Quillfen.htm"; }

    QByteArray request;

private:
    QByteArray m_response;
    QTcpServer m_server;
    QTimer m_trickle;
};

class RecordingBoxes final : public Messages
{
public:
    RecordingBoxes() { setMessages(this); }
    ~RecordingBoxes() override { setMessages(nullptr); }
    MessageResult show(const QString& text, MessageButtons buttons, const QString& title) override
    {
        shown.push_back({text, buttons, title});
        return answer;
    }
    struct Shown
    {
        QString text;
        MessageButtons buttons;
        QString title;
    };
    std::vector<Shown> shown;
    MessageResult answer = MessageResult::Ok;
};

QByteArray homePage(const QString& version)
{
    return "<table><tr><td>Version</td><td><font face=\"Helvetica\">" + version.toLatin1() +
           "</font></td></tr>";
}

QString ownWithMicro(int delta)
{
    const QVersionNumber own = QVersionNumber::fromString(ownVersionText());
    return QVersionNumber(own.majorVersion(), own.minorVersion(), own.microVersion() + delta).toString();
}

class UpdateCheck : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setUrlOpener([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        setWebPageTimeoutForTesting(5000);
    }
    void TearDown() override
    {
        setUrlOpener({});
        setWebPageTimeoutForTesting(0);
        setHomeHostForTesting({});
    }

    void checkAgainst(const QString& host)
    {
        boxes.shown.clear();
        opened.clear();
        setHomeHostForTesting(host);
        CheckForUpdatedVersion();
    }

    RecordingBoxes boxes;
    std::vector<QUrl> opened;
};

} // namespace

TEST_F(UpdateCheck, newerVersion_offersTheHomePageAndOpensItOnOkOnly)
{
    FakeHomePage server(homePage(ownWithMicro(+1)));
    for (MessageResult answer : {MessageResult::Ok, MessageResult::Cancel}) {
        boxes.answer = answer;
        checkAgainst(server.host());
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, myLoadResString(12));
        EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::OkCancel);
        EXPECT_EQ(boxes.shown[0].title, myLoadResString(38));
        EXPECT_EQ(opened,
                  answer == MessageResult::Ok ? std::vector{QUrl(server.url())} : std::vector<QUrl>{});
    }
    EXPECT_TRUE(server.request.startsWith("GET /App_Quillfen.htm HTTP/1.1\r\n"))
        << server.request.toStdString();
    EXPECT_TRUE(server.request.contains("\r\nUser-Agent: HTTP Generic\r\n")) << server.request.toStdString();
}

TEST_F(UpdateCheck, everyPageEndsInOneOkMessage)
{
    const QString own = ownVersionText();
    const std::tuple<const char*, QByteArray, QByteArray, int> cases[] = {
        {"equal", homePage(own), "200 OK", 40},
        {"older", homePage(ownWithMicro(-1)), "200 OK", 40},
        {"capital marker", homePage(own).replace("Version", "VERSION"), "200 OK", 40},
        {"trailing period", homePage(own + ".").replace("</font>", "x</font>"), "200 OK", 40},
        {"error page", homePage(own), "404 Not Found", 40},
        {"leading space", homePage(" " + own), "200 OK", 36},
        {"no marker", "<html><body>" + own.toLatin1() + "</body></html>", "200 OK", 36},
        {"three characters", homePage("1.2"), "200 OK", 36},
        {"empty page", "", "200 OK", 36},
        {"spaces", QByteArray(2500, ' '), "200 OK", 36},
        {"binary", QByteArray("\0\x01\xff>version<\0Helvetica\"\xff", 24), "200 OK", 36},
    };
    for (const auto& [name, body, status, message] : cases) {
        SCOPED_TRACE(name);
        FakeHomePage server(body, status);
        checkAgainst(server.host());
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, myLoadResString(message));
        EXPECT_EQ(boxes.shown[0].buttons, MessageButtons::Ok);
        EXPECT_EQ(boxes.shown[0].title, QString());
    }
    EXPECT_TRUE(opened.empty());
}

TEST_F(UpdateCheck, versionWithoutPeriod_isReportedBeforeTheUnreachableMessage)
{
    FakeHomePage server(homePage("2003"));
    checkAgainst(server.host());
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, myLoadResString(3) + "5 (Invalid procedure call or argument) in procedure "
                                                        "PadVersionString of Module modUpdateCheck");
    EXPECT_EQ(boxes.shown[1].text, myLoadResString(36));
}

TEST_F(UpdateCheck, unreachableSilentOrEndlessServers_giveUpWithinTheTimeout)
{
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    FakeHomePage silent({}, "200 OK", FakeHomePage::Behaviour::NeverAnswer);
    FakeHomePage endless(homePage(ownVersionText()), "200 OK", FakeHomePage::Behaviour::Trickle);
    setWebPageTimeoutForTesting(300);

    const std::tuple<QString, int> cases[] = {
        {"127.0.0.1:" + QString::number(closedPort), 36}, {silent.host(), 36}, {endless.host(), 40}};
    for (const auto& [host, message] : cases) {
        SCOPED_TRACE(host.toStdString());
        QElapsedTimer clock;
        clock.start();
        checkAgainst(host);
        EXPECT_LT(clock.elapsed(), 3000);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, myLoadResString(message));
    }
    EXPECT_FALSE(silent.request.isEmpty());
}

TEST(GetWebPage, readsThousandByteChunksByteForCharacterUntilABlankOne)
{
    const QByteArray first = "\xe9" + QByteArray(998, ' ') + "\x80";
    const QByteArray blank(1000, ' ');
    FakeHomePage server(first + blank + homePage("1.0.6"));
    EXPECT_EQ(GetWebPage(server.url(), 0), QString::fromLatin1(first + blank));
}

TEST(GetWebPage, readsAtMostOneMebibyteOfATenMebibytePage)
{
    const QByteArray body = homePage("1.0.6").leftJustified(10 * 1024 * 1024, 'x');
    FakeHomePage server(body);
    EXPECT_EQ(GetWebPage(server.url(), 0), QString::fromLatin1(body.left(1024 * 1024)));
}
