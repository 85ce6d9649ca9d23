// The real viewer shares a sonar at 40 Hz in a browser for a minute's worth
// of images while one client of the stream never reads (a small receive
// buffer; reopened whenever the viewer closes it) and another reads all the
// time: the reader gets its images, the viewer's memory stays flat and its
// event loop never waits longer than the chaos check allows (CHAOS_STALL_MS,
// the same default as ./scripts/test).

#include "support/ViewerTestSupport.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <map>
#include <thread>

using namespace Keldar::OndrixLumivane::Testing;

namespace {

namespace beast = boost::beast;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Json = nlohmann::json;

long long residentKb(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).simplified().split(' ').front().toLongLong();
        }
    }
    return -1;
}

// /status, or an empty object while the viewer does not answer.
Json status(std::uint16_t port)
{
    try {
        net::io_context io;
        tcp::socket socket(io);
        socket.connect({net::ip::make_address("127.0.0.1"), port});
        beast::http::request<beast::http::empty_body> request{beast::http::verb::get, "/status", 11};
        request.set(beast::http::field::host, "127.0.0.1");
        beast::http::write(socket, request);
        beast::flat_buffer buffer;
        beast::http::response<beast::http::string_body> response;
        beast::http::read(socket, buffer, response);
        Json parsed = Json::parse(response.body(), nullptr, false);
        return parsed.is_object() ? parsed : Json::object();
    } catch (const std::exception&) {
        return Json::object();
    }
}

// Asks for the stream with a 4 KiB receive buffer and then reads nothing.
int stuckClient(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int small = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const std::string upgrade = "GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                                "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                "Sec-WebSocket-Version: 13\r\n\r\n";
    if (::send(fd, upgrade.data(), upgrade.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(upgrade.size())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The longest event-loop wait of each of the stall report's one-second windows.
void readWindows(const QString& path, std::map<quint64, std::pair<qint64, double>>& windows)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 4 && parts[0] == "window") {
            windows[parts[1].toULongLong()] = {parts[2].toLongLong(), parts[3].toDouble()};
        }
    }
}

} // namespace

TEST(SlowBrowserClient, NeitherSlowsTheViewerNorGrowsItsMemoryNorStarvesAReader)
{
    const double stallGoalMs = qEnvironmentVariable("CHAOS_STALL_MS", QStringLiteral("1000")).toDouble();
    constexpr int rateHz = 40;
    constexpr std::uint64_t images = rateHz * 60; // the minute at 40 Hz, counted in images

    TemporarySettings folder;
    LoopbackNetwork network;
    constexpr std::uint32_t serial = 40077;
    auto sonar = network.startSonar(serial);
    const std::uint16_t webPort = freeTcpPort();
    {
        // Shared on loopback from the start, 40 Hz for this sonar.
        QFile store(folder.path() + QStringLiteral("/Keldar/Ondrix Lumivane.ini"));
        ASSERT_TRUE(QDir().mkpath(folder.path() + QStringLiteral("/Keldar")));
        ASSERT_TRUE(store.open(QIODevice::WriteOnly));
        const QByteArray text = QStringLiteral("[GeneralSettings]\nshareInBrowser=true\nsharePort=%1\n\n"
                                               "[SavedSonar-%2]\nrange=10\ngain=50\nfrequency=2\npingRate=2\n"
                                               "gamma=128\n")
                                    .arg(webPort)
                                    .arg(serial)
                                    .toUtf8();
        ASSERT_EQ(store.write(text), text.size());
    }
    const QString stallReport = folder.path() + QStringLiteral("/stall.txt");

    QProcess viewer;
    startViewerProgram(viewer, LUMIVANE_EXECUTABLE, folder.path(), network, serial,
                       {{QStringLiteral("ONDRIX_LUMIVANE_STALL_REPORT"), stallReport}});
    ASSERT_TRUE(viewer.waitForStarted());
    const qint64 pid = viewer.processId();
    ASSERT_TRUE(waitFor([&] { return status(webPort).value("images", 0) > 2 * rateHz; }, std::chrono::seconds(90)))
        << "the viewer shares no images";

    // The reader, on its own thread, counts images.
    net::io_context io;
    beast::websocket::stream<tcp::socket> reader(io);
    reader.next_layer().connect({net::ip::make_address("127.0.0.1"), webPort});
    reader.handshake("127.0.0.1:" + std::to_string(webPort), "/stream");
    std::atomic<std::uint64_t> received{0};
    std::thread readerThread([&] {
        beast::error_code error;
        while (!error) {
            beast::flat_buffer buffer;
            reader.read(buffer, error);
            if (!error && reader.got_binary()) {
                ++received;
            }
        }
    });
    int stuck = stuckClient(webPort);
    ASSERT_GE(stuck, 0);
    int stuckOpened = 1;
    ASSERT_TRUE(waitFor([&] { return status(webPort).value("clients", Json::array()).size() == 2 && received > 0; }));

    const Json first = status(webPort);
    const std::uint64_t publishedBefore = first.value("images", 0ULL);
    const std::uint64_t receivedBefore = received;
    const qint64 startMs = QDateTime::currentMSecsSinceEpoch();
    const long long residentBefore = residentKb(pid);
    ASSERT_GT(residentBefore, 0);
    long long residentPeak = residentBefore;
    std::map<quint64, std::pair<qint64, double>> windows;
    std::uint64_t published = publishedBefore;
    // The stuck client stays stuck throughout: when the viewer closes it
    // (it took nothing for its stall time) another takes its place.
    QElapsedTimer sinceLook; // looks five times a second, not at every turn of the wait
    const bool ran = waitFor(
        [&] {
            if (sinceLook.isValid() && sinceLook.elapsed() < 200) {
                return false;
            }
            sinceLook.start();
            const Json now = status(webPort);
            if (now.contains("images")) {
                published = now.value("images", published);
                if (now.value("clients", Json::array()).size() < 2) {
                    ::close(stuck);
                    stuck = stuckClient(webPort);
                    ++stuckOpened;
                }
            }
            residentPeak = std::max(residentPeak, residentKb(pid));
            readWindows(stallReport, windows);
            return published >= publishedBefore + images;
        },
        std::chrono::seconds(300));
    const qint64 endMs = QDateTime::currentMSecsSinceEpoch();
    const std::uint64_t sharedDuring = published - publishedBefore;
    // Images already shared may still be on their way to the reader.
    const bool readerKept = waitFor([&] { return double(received - receivedBefore) >= 0.95 * double(sharedDuring); },
                                    std::chrono::seconds(10));
    const std::uint64_t readDuring = received - receivedBefore;
    ::shutdown(reader.next_layer().native_handle(), SHUT_RDWR);
    readerThread.join();
    ::close(stuck);

    // Windows that ended while the stream ran, one a second.
    double longestMs = -1.0;
    std::size_t windowsDuring = 0;
    readWindows(stallReport, windows);
    for (const auto& [number, window] : windows) {
        if (window.first > startMs + 1000 && window.first <= endMs) {
            longestMs = std::max(longestMs, window.second);
            ++windowsDuring;
        }
    }
    std::printf("%llu images shared in %.1f s (%.1f Hz), %llu read (%.3f); a stuck client opened %d times; "
                "resident memory %lld kB before, peak %lld kB; longest event-loop wait %.1f ms over %zu seconds "
                "(limit %.0f ms)\n",
                static_cast<unsigned long long>(sharedDuring), double(endMs - startMs) / 1000.0,
                double(sharedDuring) * 1000.0 / double(std::max<qint64>(1, endMs - startMs)),
                static_cast<unsigned long long>(readDuring),
                double(readDuring) / double(std::max<std::uint64_t>(1, sharedDuring)), stuckOpened, residentBefore,
                residentPeak, longestMs, windowsDuring, stallGoalMs);
    ASSERT_TRUE(ran) << "the viewer did not share a minute's worth of images";
    EXPECT_TRUE(readerKept) << "the reader missed images";
    EXPECT_LT(residentPeak - residentBefore, 20 * 1024);
    // A window a second, barring the first and last partial ones.
    EXPECT_GE(windowsDuring + 3, std::size_t(double(endMs - startMs) / 1000.0)) << "the stall report fell silent";
    EXPECT_GE(longestMs, 0.0);
    EXPECT_LT(longestMs, stallGoalMs);

    ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGTERM), 0);
    ASSERT_TRUE(viewer.waitForFinished(30000));
    EXPECT_EQ(viewer.exitCode(), 0);
}
