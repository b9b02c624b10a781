#include "update/download/mod_update_check.h"

#include "localization/string_table.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <array>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace quillfen;

namespace {

// A home page on 127.0.0.1, served by whatever event loop runs on this thread (the download's own
// included); one that does not answer reads the request and sends nothing.
class FakeHomePage
{
public:
    explicit FakeHomePage(const QByteArray& body, const QByteArray& status = "200 OK", bool answers = true)
    {
        const QByteArray response = "HTTP/1.1 " + status + "\r\nConnection: close\r\nContent-Length: " +
                                    QByteArray::number(body.size()) + "\r\n\r\n" + body;
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost));
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this, response, answers] {
            QTcpSocket* socket = server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, response, answers] {
                request += socket->readAll();
                if (answers && request.endsWith("\r\n\r\n")) {
                    socket->write(response);
                    socket->disconnectFromHost();
                }
            });
        });
    }
    QString host() const { return "127.0.0.1:" + QString::number(server.serverPort()); }

    QByteArray request;
    QTcpServer server;
};

QByteArray homePage(const QString& version)
{
    return "<table><tr><td>Version</td><td><font face=\"Helvetica\">" + version.toLatin1() +
           "</font></td></tr>";
}

// The download's module is below the built program directory, not beside the tests.
[[maybe_unused]] const bool kModuleFound = [] {
    setWebPageModuleDirectoryForTesting(QUILLFEN_TEST_PROGRAM_DIR);
    return true;
}();

// Checks against `host`, the user answering `answer`: the messages, their titles, the pages opened.
std::array<QStringList, 3> checkAgainst(const QString& host, MessageResult answer = MessageResult::Ok)
{
    quillfen::testing::RecordingMessages boxes;
    boxes.answer = answer;
    QStringList opened;
    setUrlOpener([&](const QUrl& url) {
        opened << url.toString();
        return true;
    });
    setHomeHostForTesting(host);
    CheckForUpdatedVersion();
    setUrlOpener({});
    return {boxes.texts, boxes.titles, opened};
}

} // namespace

TEST(UpdateCheck, aNewerVersionOpensTheHomePageOnOkOnly)
{
    FakeHomePage server(homePage(ownVersionText() + ".1"));
    const QString url = "http://" + server.host() + "/App_Quillfen.htm";
    const QStringList offer{myLoadResString(IDS_UPDATE_AVAILABLE)},
        title{myLoadResString(IDS_UPDATE_AVAILABLE_TITLE)};
    EXPECT_EQ(checkAgainst(server.host()), (std::array{offer, title, QStringList{url}}));
    EXPECT_EQ(checkAgainst(server.host(), MessageResult::Cancel), (std::array{offer, title, QStringList{}}));
    EXPECT_TRUE(server.request.startsWith("GET /App_Quillfen.htm HTTP/1.1\r\n"))
        << server.request.toStdString();
}

TEST(UpdateCheck, whatThePageSaysDecidesTheMessage)
{
    const QByteArray own = ownVersionText().toLatin1();
    const QString upToDate = myLoadResString(IDS_UP_TO_DATE),
                  none = myLoadResString(IDS_HOME_PAGE_UNREACHABLE);
    const QString noPeriod = myLoadResString(IDS_ERROR_PREFIX) +
                             "5 (Invalid procedure call or argument) in procedure "
                             "PadVersionString of Module modUpdateCheck";
    const struct
    {
        const char* name;
        QByteArray body;
        QStringList texts;
        QByteArray status = "200 OK";
    } cases[] = {
        {"equal", homePage(own), {upToDate}},
        {"capitals", homePage(own).toUpper(), {upToDate}},
        {"error page", homePage(own), {upToDate}, "404 Not Found"},
        {"leading space", homePage(" " + own), {none}},
        {"blank first read", QByteArray(1000, ' ') + homePage(own), {none}}, // reading stops there
        {"no period", homePage("2003"), {noPeriod, none}},
    };
    for (const auto& c : cases) {
        FakeHomePage server(c.body, c.status);
        EXPECT_EQ(checkAgainst(server.host()),
                  (std::array{c.texts, QStringList(c.texts.size(), ""), QStringList()}))
            << c.name;
    }
}

TEST(UpdateCheck, unreachableOrSilentServersGiveUpWithinTheTimeout)
{
    const quint16 closedPort = [] {
        QTcpServer probe;
        return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : quint16(1);
    }();
    FakeHomePage silent({}, "200 OK", false);
    setWebPageTimeoutForTesting(300);
    for (const QString& host : {"127.0.0.1:" + QString::number(closedPort), silent.host()}) {
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(checkAgainst(host)[0], QStringList{myLoadResString(IDS_HOME_PAGE_UNREACHABLE)})
            << host.toStdString();
        EXPECT_LT(clock.elapsed(), 3000) << host.toStdString();
    }
    setWebPageTimeoutForTesting(0);
    EXPECT_FALSE(silent.request.isEmpty());
}

TEST(UpdateCheck, withoutItsDownloadModuleTheHomePageCountsAsUnreachable)
{
    FakeHomePage server(homePage(ownVersionText()));
    setWebPageModuleDirectoryForTesting("/nonexistent");
    EXPECT_EQ(checkAgainst(server.host())[0], QStringList{myLoadResString(IDS_HOME_PAGE_UNREACHABLE)});
    setWebPageModuleDirectoryForTesting(QUILLFEN_TEST_PROGRAM_DIR);
    EXPECT_TRUE(server.request.isEmpty());
}

namespace {

// This process's resident memory (VmRSS) or its peak since the last reset (VmHWM), in KiB.
long memoryKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field) + 1));
    return -1;
}

} // namespace

// The server writes a chunked reply from a thread of its own, as fast as the socket takes it, until
// the download hangs up or 88 MiB have gone. The download takes its first mebibyte and no more.
TEST(GetWebPage, anEndlessReplyStaysInTheSocketAndMemoryLow)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    const timeval patience{10, 0}; // accept() gives up rather than wait for ever
    ASSERT_EQ(::setsockopt(listener, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience), 0);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::size_t sent = 0;
    std::thread server([listener, &sent] {
        const int client = ::accept(listener, nullptr, nullptr);
        char request[4096];
        const std::string head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
        std::string chunk;
        for (int i = 0; i < 4096; ++i)
            chunk += "10\r\nxxxxxxxxxxxxxxxx\r\n"; // small chunks cost the most to buffer
        bool open = client >= 0 && ::recv(client, request, sizeof request, 0) > 0 &&
                    ::send(client, head.data(), head.size(), MSG_NOSIGNAL) > 0;
        // 88 MiB at most, so that a client that keeps reading ends the test too.
        while (open && sent < std::size_t{1024} * chunk.size()) {
            open = ::send(client, chunk.data(), chunk.size(), MSG_NOSIGNAL) > 0;
            sent += chunk.size();
        }
        if (client >= 0)
            ::close(client);
    });

    std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts again from here
    [[maybe_unused]] const long before = memoryKiB("VmRSS:");
    const QString page = GetWebPage("http://127.0.0.1:" + QString::number(ntohs(address.sin_port)) + "/", 0);
    [[maybe_unused]] const long peak = memoryKiB("VmHWM:");
    server.join();
    ::close(listener);
    EXPECT_EQ(page, QString(1024 * 1024, QLatin1Char('x')));
#ifndef __SANITIZE_ADDRESS__
    // (ASan's quarantine holds on to freed memory; there the bytes sent below tell the same.)
    EXPECT_LT(peak - before, 16 * 1024) << "KiB more at the peak";
#endif
    // What the program did not read stayed in the socket, beyond its small buffer: the server could
    // send little more than the mebibyte that was taken and the socket buffers hold.
    EXPECT_LT(sent, std::size_t{32} << 20);
}
