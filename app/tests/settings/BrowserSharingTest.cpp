// "Share in a browser": off at first start; switched on, a browser's stream
// gets the images the window shows; opened to the network, the address
// carries the token and nothing is served without it; the choice survives a
// restart. The viewer runs against a simulated sonar on loopback.

#include "support/LogTestSupport.h"

#include "application/LumivaneWindow.h"
#include "controller/MainController.h"
#include "displaycontrols/DisplayControlToolbar.h"
#include "displaycontrols/PaletteControl.h"
#include "settings/BrowserSharing.h"
#include "settings/SettingsControls.h"

#include <keldar/gui/ToggleSwitch.h>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include <QAbstractButton>
#include <QLabel>
#include <QScrollArea>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace Keldar::OndrixLumivane {
namespace {

namespace beast = boost::beast;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using GUI::Widgets::Controls::ToggleSwitch;
using Testing::ViewerSession;
using Testing::waitFor;

std::uint16_t portOf(const QString& address)
{
    const int colon = address.lastIndexOf(QLatin1Char(':'));
    return static_cast<std::uint16_t>(address.mid(colon + 1).section(QLatin1Char('/'), 0, 0).toUInt());
}

beast::http::response<beast::http::string_body> get(std::uint16_t port, const std::string& target)
{
    net::io_context io;
    tcp::socket socket(io);
    socket.connect({net::ip::make_address("127.0.0.1"), port});
    beast::http::request<beast::http::empty_body> request{beast::http::verb::get, target, 11};
    request.set(beast::http::field::host, "127.0.0.1");
    beast::http::write(socket, request);
    beast::flat_buffer buffer;
    beast::http::response<beast::http::string_body> response;
    beast::http::read(socket, buffer, response);
    return response;
}

unsigned statusCode(std::uint16_t port, const std::string& target)
{
    return get(port, target).result_int();
}

TEST(BrowserSharing, SharesTheWindowsImagesOnlyWhenSwitchedOnAndNeedsTheTokenOnTheNetwork)
{
    ViewerSession viewer;
    viewer.setGeneralSetting(QStringLiteral("sharePort"), 0); // any free port
    auto* sharing = viewer.window->getSettingsControls()->getBrowserSharing();
    auto* share = sharing->findChild<ToggleSwitch*>(QStringLiteral("shareInBrowser"));
    auto* network = sharing->findChild<ToggleSwitch*>(QStringLiteral("shareOnNetwork"));
    auto* qr = sharing->findChild<QLabel*>(QStringLiteral("shareQrCode"));
    ASSERT_NE(share, nullptr);
    ASSERT_NE(network, nullptr);
    EXPECT_FALSE(share->isEnabled()) << "off by default";
    EXPECT_FALSE(sharing->isSharing());

    share->setState(true);
    ASSERT_TRUE(sharing->isSharing());
    const QString address = sharing->address();
    EXPECT_TRUE(address.startsWith(QStringLiteral("http://127.0.0.1:"))) << address.toStdString();
    EXPECT_EQ(sharing->findChild<QLabel*>(QStringLiteral("shareAddress"))->text(), address);
    ASSERT_FALSE(qr->pixmap(Qt::ReturnByValue).isNull()) << "a QR code of the address";
    EXPECT_EQ(BrowserSharing::qrCode(address, 1).width() % 4, 1) << "modules of 21 + 4k, with 8 of quiet zone";

    if (const char* folder = std::getenv("KELDAR_SCREENSHOT_DIR")) {
        // For looking at: the settings pop-out with the address and its code.
        viewer.window->findChild<QAbstractButton*>(QStringLiteral("settingsButton"))->click();
        auto* settings = viewer.window->getSettingsControls();
        ASSERT_TRUE(waitFor([&] { return settings->isVisible(); }));
        settings->findChild<QScrollArea*>()->ensureWidgetVisible(sharing);
        EXPECT_TRUE(Testing::saveScreenshot(*viewer.window, QString::fromLocal8Bit(folder) + "/share-setting.png",
                                            std::chrono::milliseconds(500)));
    }

    const auto sonar = viewer.network.startSonar(46001);
    viewer.controller->connectWhenSeen(46001);
    ASSERT_TRUE(waitFor([&] { return viewer.window->getMode() == LumivaneWindow::LiveSonar; }));

    // A client of the stream, on a thread of its own while the window runs.
    std::atomic<int> width{0};
    std::atomic<bool> failed{false};
    std::thread client([&, port = portOf(address)] {
        try {
            net::io_context io;
            beast::websocket::stream<tcp::socket> ws(io);
            ws.next_layer().connect({net::ip::make_address("127.0.0.1"), port});
            ws.handshake("127.0.0.1", "/stream");
            for (;;) {
                beast::flat_buffer buffer;
                ws.read(buffer);
                if (ws.got_binary()) {
                    const auto* bytes = static_cast<const unsigned char*>(buffer.cdata().data());
                    const unsigned length = bytes[8] | (bytes[9] << 8U);
                    const std::string meta(reinterpret_cast<const char*>(bytes) + 16, length);
                    const auto at = meta.find("\"width\":");
                    width = std::stoi(meta.substr(at + 8));
                    return;
                }
            }
        } catch (const std::exception&) {
            failed = true;
        }
    });
    const bool received = waitFor([&] { return width.load() > 0 || failed.load(); });
    client.join();
    ASSERT_TRUE(received);
    EXPECT_FALSE(failed.load());
    EXPECT_GT(width.load(), 0);

    network->setState(true);
    ASSERT_TRUE(sharing->isSharing());
    const QString open = sharing->address();
    ASSERT_TRUE(open.contains(QStringLiteral("?token="))) << open.toStdString();
    const std::string token = open.section(QStringLiteral("?token="), 1).toStdString();
    EXPECT_EQ(statusCode(portOf(open), "/status"), 401U);
    EXPECT_EQ(statusCode(portOf(open), "/status?token=" + token), 200U);

    // A palette chosen in the window reaches the pages.
    const auto shownPalette = [&] {
        return nlohmann::json::parse(get(portOf(open), "/status?token=" + token).body())["palette"]["selected"]
            .get<int>();
    };
    const int before = shownPalette();
    viewer.window->getDisplayControlToolbar()->getPaletteControl()->selectNextPalette();
    EXPECT_EQ(shownPalette(), (before + 1) % PaletteControl::paletteCount);

    viewer.restart();
    auto* again = viewer.window->getSettingsControls()->getBrowserSharing();
    EXPECT_TRUE(again->isSharing()) << "the choice survives a restart";
    again->findChild<ToggleSwitch*>(QStringLiteral("shareInBrowser"))->setState(false);
    EXPECT_FALSE(again->isSharing());
}

} // namespace
} // namespace Keldar::OndrixLumivane
