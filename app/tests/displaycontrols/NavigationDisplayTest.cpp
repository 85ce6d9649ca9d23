// The navigation display through the real window: live NMEA from the
// simulator's track, greyed when it stops, recorded with the images and shown
// again from the recording in playback.

#include "support/LogTestSupport.h"
#include "support/ViewerTestSupport.h"

#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "base/SettingsStore.h"
#include "controller/MainController.h"
#include "displaycontrols/AdditionalDisplays.h"
#include "displaycontrols/DisplayControlToolbar.h"
#include "displaycontrols/DisplayPanels.h"
#include "displaycontrols/overlays/NavigationDisplay.h"
#include "navigation/NavigationFeed.h"
#include "settings/BrowserSharing.h"
#include "settings/SettingsControls.h"

#include <keldar/gui/ToggleSwitch.h>
#include <keldar/navigation/NavigationLog.h>
#include <keldar/sim/NmeaSender.h>
#include <keldar/visualisation/FanDisplay.h>
#include <keldar/visualisation/MeasuringToolBase.h>

#include <gtest/gtest.h>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <cmath>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QSettings>
#include <QTest>

namespace Keldar::OndrixLumivane {
namespace {

using Testing::ViewerSession;
using Testing::waitFor;

std::string httpGet(std::uint16_t port, const std::string& target)
{
    boost::asio::io_context io;
    boost::asio::ip::tcp::socket socket(io);
    socket.connect({boost::asio::ip::make_address("127.0.0.1"), port});
    boost::beast::http::request<boost::beast::http::empty_body> request{boost::beast::http::verb::get, target, 11};
    request.set(boost::beast::http::field::host, "127.0.0.1");
    boost::beast::http::write(socket, request);
    boost::beast::flat_buffer buffer;
    boost::beast::http::response<boost::beast::http::string_body> response;
    boost::beast::http::read(socket, buffer, response);
    return response.body();
}

QString text(const QWidget* display, const char* name)
{
    const auto* label = display->findChild<QLabel*>(QString::fromLatin1(name));
    return label == nullptr ? QStringLiteral("<no label>") : label->text();
}

TEST(NavigationDisplay, LiveThenStaleThenFromTheRecording)
{
    ViewerSession viewer;
    const auto sonar = viewer.network.startSonar(43301);
    viewer.controller->connectWhenSeen(43301);
    ASSERT_TRUE(waitFor([&] { return viewer.window->getMode() == LumivaneWindow::LiveSonar; }));

    auto* displays = viewer.window->getDisplayControlToolbar()->getAdditionalDisplays();
    displays->switchFor(QStringLiteral("navigationDisplay"))->setState(true);
    const NavigationDisplay* display = displays->getNavigationDisplay();
    ASSERT_TRUE(waitFor([&] { return display->isVisible(); }));
    EXPECT_EQ(text(display, "navigationStatus"), QStringLiteral("no navigation input"));

    openSettingsStore()->setValue(QString::fromLatin1(NavigationFeed::headingOffsetKey), 5.0);
    NavigationFeed* feed = viewer.application->getNavigationFeed();
    const auto port = Testing::freeUdpPort();
    const QString endpoint = QStringLiteral("udp:127.0.0.1:%1").arg(port);
    QString error;
    ASSERT_TRUE(feed->setInput(endpoint, &error)) << error.toStdString();
    EXPECT_FALSE(feed->setInput(QStringLiteral("udp:not-a-port"), &error));
    EXPECT_EQ(feed->input(), endpoint) << "a refused input leaves the running one";

    Navigation::NmeaTrackSimulator::Settings track;
    track.start = {-12.5, 130.8};
    track.heading = 200.0;
    track.speed = 3.0;
    auto sender = std::make_unique<Sim::NmeaSender>(endpoint.toStdString(), track);
    sender->start();
    ASSERT_TRUE(waitFor([&] { return text(display, "navigationStatus") == QStringLiteral("live"); }));
    EXPECT_TRUE(text(display, "navigationPosition").startsWith(QStringLiteral("12.50")))
        << text(display, "navigationPosition").toStdString();
    EXPECT_TRUE(text(display, "navigationPosition").contains(QStringLiteral("°S 130.")))
        << text(display, "navigationPosition").toStdString();
    EXPECT_EQ(text(display, "navigationHeading"), QStringLiteral("200.0°"));
    EXPECT_EQ(text(display, "navigationSpeed"), QStringLiteral("3.00 m/s (5.8 kn)"));
    EXPECT_EQ(text(display, "navigationFix"), QStringLiteral("GPS"));

    // The browser view gets the same position and heading with each image.
    viewer.setGeneralSetting(QStringLiteral("sharePort"), 0);
    auto* sharing = viewer.window->getSettingsControls()->getBrowserSharing();
    sharing->findChild<GUI::Widgets::Controls::ToggleSwitch*>(QStringLiteral("shareInBrowser"))->setState(true);
    ASSERT_TRUE(sharing->isSharing());
    const auto sharePort = static_cast<std::uint16_t>(
        sharing->address().section(QLatin1Char(':'), 2).section(QLatin1Char('/'), 0, 0).toUInt());
    EXPECT_TRUE(waitFor([&] {
        const std::string status = httpGet(sharePort, "/status");
        return status.find("\"heading_deg\":200.0") != std::string::npos &&
               status.find("\"position\":[-12.") != std::string::npos;
    })) << httpGet(sharePort, "/status");

    // North up: the fan's centre line turns by the heading plus the mounting
    // offset, 205° true, that is 155° counter-clockwise from up.
    auto* fan = viewer.window->getFanDisplay();
    auto* rotation = viewer.window->getDisplayControlToolbar()->getRotationControls();
    const auto turned = [fan] { return std::lround(fan->getCurrentRotation()) % 360; };
    EXPECT_EQ(turned(), 0);
    // A line measured to the right lies 90° clockwise of the centre line:
    // 295° true heading up, east once north is up.
    const QPoint from(fan->width() / 2, fan->height() / 2);
    QTest::mousePress(fan, Qt::LeftButton, {}, from);
    // A drag: a move with the button held (QTest's moves carry no buttons).
    QMouseEvent drag(QEvent::MouseMove, from + QPoint(60, 0), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(fan, &drag);
    QTest::mouseRelease(fan, Qt::LeftButton, {}, from + QPoint(60, 0));
    const auto measured = [fan] { return QString::fromStdString(fan->getMeasuringTool().getText()); };
    EXPECT_TRUE(waitFor([&] { return measured().endsWith(QStringLiteral("  Bearing: 295.0 deg T")); }))
        << measured().toStdString();
    rotation->northUpButton()->click();
    EXPECT_TRUE(waitFor([&] { return turned() == 155; })) << fan->getCurrentRotation();
    EXPECT_EQ(text(rotation, "orientationStatus"), QStringLiteral("north up"));
    EXPECT_TRUE(waitFor([&] { return measured().endsWith(QStringLiteral("  Bearing: 090.0 deg T")); }))
        << measured().toStdString();

    // The cursor's place on the earth, from the fan display's mouse position
    // (tracked while the mouse position display is on).
    displays->switchFor(QStringLiteral("mousePositionDisplay"))->setState(true);
    ASSERT_TRUE(waitFor([&] { return fan->hasMouseTracking(); }));
    QTest::mouseMove(fan, QPoint(fan->width() / 2, fan->height() / 3));
    EXPECT_TRUE(waitFor([&] { return text(display, "navigationCursor").contains(QStringLiteral("°S 130.")); }))
        << text(display, "navigationCursor").toStdString();
    NavigationSnapshot east;
    east.position = Navigation::Position{60.0, 10.7};
    east.heading = 90.0;
    EXPECT_EQ(NavigationDisplay::geographicText(east, {}, 10.0, 0.0, QStringLiteral("decimal")),
              QStringLiteral("60.000000°N 10.700179°E")); // 10 m over the prime vertical radius

    // The capture button's menu saves the image on screen as a GeoTIFF, and
    // says so only once the file is there.
    auto* geoTiff = viewer.window->findChild<QAction*>(QStringLiteral("geoTiffCaptureAction"));
    ASSERT_NE(geoTiff, nullptr);
    geoTiff->trigger();
    QString saved;
    ASSERT_TRUE(waitFor([&] {
        for (const QString& toast : viewer.shownToasts()) {
            if (toast.startsWith(QStringLiteral("GeoTIFF saved: "))) {
                saved = toast.mid(15);
            }
        }
        return !saved.isEmpty();
    })) << viewer.shownToasts().join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(QFileInfo(saved).size() > 0) << saved.toStdString();

    viewer.controller->startLogging();
    ASSERT_TRUE(waitFor([&] { return viewer.controller->isRecording(); }));
    // Counted once the file is made: the recording starts off the GUI thread.
    const auto before = feed->counters().accepted;
    const std::filesystem::path recording = viewer.controller->getRecordingPath();
    ASSERT_TRUE(waitFor([&] { return feed->counters().accepted >= before + 30; }));

    // The input stops: greyed, saying for how long.
    sender.reset();
    ASSERT_TRUE(
        waitFor([&] { return text(display, "navigationStatus").startsWith(QStringLiteral("no position for")); }));
    EXPECT_FALSE(display->findChild<QLabel*>(QStringLiteral("navigationPosition"))->isEnabled());
    // Without a heading north up falls back to heading up, and says so.
    EXPECT_TRUE(
        waitFor([&] { return text(rotation, "orientationStatus") == QStringLiteral("heading up: no heading"); }));
    EXPECT_EQ(turned(), 0);
    viewer.controller->stopLogging();
    // The file is closed and checked off the GUI thread; read only once saved.
    ASSERT_TRUE(waitFor([&] {
        for (const QString& toast : viewer.shownToasts()) {
            if (toast.startsWith(QStringLiteral("Log file saved"))) {
                return true;
            }
        }
        return false;
    })) << viewer.shownToasts().join(QLatin1Char('|')).toStdString();
    geoTiff->trigger();
    EXPECT_TRUE(waitFor([&] {
        return viewer.toastShown(QStringLiteral("No position and heading for this image: no GeoTIFF saved."));
    }));
    EXPECT_EQ(QDir(QFileInfo(saved).path()).entryList({QStringLiteral("*.tif")}).size(), 1);

    // Recorded beside the images, read back by the library's own reader.
    const auto log = Testing::openLog(recording);
    const auto recorded = Navigation::readNavigationTrack(*log);
    ASSERT_GE(recorded.positions().size(), 5U);
    EXPECT_NEAR(recorded.positions().front().position.latitude, -12.5, 0.01);
    EXPECT_NEAR(recorded.headings().back().heading, 200.0, 1e-6);
    EXPECT_EQ(Navigation::recordedMounting(*log).headingOffset, 5.0);

    viewer.controller->openLogFile(recording.string());
    ASSERT_TRUE(waitFor([&] { return viewer.window->getMode() == LumivaneWindow::LogPlayback; }));
    EXPECT_EQ(feed->mode(), NavigationFeed::Mode::Playback);
    viewer.controller->beginPlayback();
    EXPECT_TRUE(waitFor([&] { return text(display, "navigationStatus") == QStringLiteral("from the recording"); }))
        << text(display, "navigationStatus").toStdString();
    EXPECT_TRUE(text(display, "navigationPosition").startsWith(QStringLiteral("12.50")));
    // North up again from the recorded heading and mounting.
    EXPECT_TRUE(waitFor([&] { return turned() == 155; })) << fan->getCurrentRotation();
    EXPECT_EQ(text(rotation, "orientationStatus"), QStringLiteral("north up"));
}

} // namespace
} // namespace Keldar::OndrixLumivane
