// The display control toolbar, its panels and the overlay displays, driven
// in the real window against a simulated sonar on loopback and a recording
// of one; the depth rule and the pressure line without a window; the
// overflow sidebar; and the viewer ending on SIGTERM as if its window were
// closed.

#include "support/LogTestSupport.h"

#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "base/SettingsStore.h"
#include "capture/CaptureToolbar.h"
#include "controller/MainController.h"
#include "displaycontrols/AdditionalDisplays.h"
#include "displaycontrols/DisplayControlToolbar.h"
#include "displaycontrols/DisplayPanels.h"
#include "displaycontrols/PaletteControl.h"
#include "displaycontrols/overlays/EnvironmentReadings.h"
#include "displaycontrols/overlays/OverlayDisplays.h"
#include "playback/BookmarkControls.h"
#include "playback/PlaybackToolbar.h"
#include "playback/ScrubControl.h"
#include "playback/ScrubSlider.h"
#include "settings/SettingsControls.h"
#include "sonarcontrols/BasicSliderPopOut.h"

#include <keldar/core/Units/Bar.h>
#include <keldar/core/Units/Fahrenheit.h>
#include <keldar/core/Units/Feet.h>
#include <keldar/core/Units/Pascal.h>
#include <keldar/core/Units/Yards.h>
#include <keldar/gui/PitchRollGraphicsView.h>
#include <keldar/gui/PopOutWidgetButton.h>
#include <keldar/gui/SvgButton.h>
#include <keldar/gui/ToggleSwitch.h>
#include <keldar/ondrix/MessageParsing.h>
#include <keldar/visualisation/FanDisplay.h>
#include <keldar/visualisation/ZoomDisplay.h>

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <csignal>

namespace Keldar::OndrixLumivane {
namespace {

using Ondrix::Visualisation::FanDisplayOptions::MeasurementMode;
using Testing::ViewerSession;
using Testing::waitFor;

QString labelText(const QWidget* display, const char* name)
{
    const auto* label = display->findChild<QLabel*>(QString::fromLatin1(name));
    return label == nullptr ? QStringLiteral("<no label>") : label->text();
}

// A viewer connected to one simulator, its display toolbar shown.
struct LiveViewer
{
    ViewerSession viewer;
    std::unique_ptr<Sim::SimulatedSonar> sonar;
    DisplayControlToolbar* toolbar;
    Ondrix::Visualisation::FanDisplay* fan;

    explicit LiveViewer(std::uint32_t serial)
        : sonar(viewer.network.startSonar(serial))
        , toolbar(viewer.window->getDisplayControlToolbar())
        , fan(viewer.window->getFanDisplay())
    {
        viewer.controller->connectWhenSeen(serial);
    }
    bool connected() const
    {
        return waitFor(
            [this] { return viewer.window->getMode() == LumivaneWindow::LiveSonar && toolbar->isVisible(); });
    }
};

TEST(EnvironmentReadings, PressureLineInThousandsAndTheDepthZero)
{
    const DataProcessing::Units::Pressure::Pascal pascal;
    const DataProcessing::Units::Pressure::Bar bar;
    EXPECT_EQ(pressureText(101325.0, pascal), QStringLiteral("101.33 kPa"));
    EXPECT_EQ(pressureText(900.0, pascal), QStringLiteral("900.00 Pa"));
    EXPECT_EQ(pressureText(101325.0, bar), QStringLiteral("1.01 ") + QString::fromStdString(bar.getSymbol()));

    // An absolute sensor: the first reading, at the surface, is the zero.
    DepthReference absolute;
    const double fresh = waterDensity(0.0);
    EXPECT_DOUBLE_EQ(fresh, 1000.0);
    EXPECT_DOUBLE_EQ(waterDensity(35.0), 1027.0);
    EXPECT_DOUBLE_EQ(absolute.depth(101325.0, fresh), 0.0);
    EXPECT_NEAR(absolute.depth(101325.0 + 9810.0, fresh), 1.0, 1e-9);
    EXPECT_NEAR(absolute.depth(101325.0 - 981.0, fresh), -0.1, 1e-9) << "the zero does not follow lower readings";
    EXPECT_NEAR(absolute.depth(101325.0 + 1027 * 9.81 * 2, waterDensity(35.0)), 2.0, 1e-9) << "salt water is denser";
    absolute.zeroAt(101325.0 + 9810.0);
    EXPECT_NEAR(absolute.depth(101325.0 + 2 * 9810.0, fresh), 1.0, 1e-9) << "zeroed by hand below the surface";

    // A relative sensor: the zero follows the lowest reading seen.
    DepthReference relative;
    EXPECT_DOUBLE_EQ(relative.depth(2000.0, fresh), 0.0);
    EXPECT_NEAR(relative.depth(2000.0 + 9810.0, fresh), 1.0, 1e-9);
    EXPECT_DOUBLE_EQ(relative.depth(500.0, fresh), 0.0);
    EXPECT_NEAR(relative.depth(500.0 + 4905.0, fresh), 0.5, 1e-9);
    relative.reset();
    EXPECT_DOUBLE_EQ(relative.depth(50000.0, fresh), 0.0);
    EXPECT_NEAR(relative.depth(40000.0, fresh), -10000.0 / 9810.0, 1e-9) << "a new first reading chose mode 2";
}

TEST(DisplayControls, PanelsReachTheFanDisplay)
{
    LiveViewer live(43001);
    ASSERT_TRUE(live.connected());
    DisplayControlToolbar* toolbar = live.toolbar;
    auto* fan = live.fan;
    QSignalSpy despeckle(toolbar, &DisplayControlToolbar::newDespeckleLevelRequested);
    QSignalSpy clamp(toolbar, &DisplayControlToolbar::newClampLevelRequested);

    auto* palettes = toolbar->getPaletteControl();
    const int start = palettes->getPalette();
    for (int press = 0; press < 8; ++press) {
        palettes->selectNextPalette();
        EXPECT_EQ(fan->getCurrentDisplaySettings().palette, (start + press + 1) % 8);
    }
    EXPECT_EQ(palettes->getPalette(), start);
    palettes->paletteButton(7)->click();
    EXPECT_FALSE(palettes->getFireSlider()->isEnabled());
    EXPECT_TRUE(palettes->getAquaSlider()->isEnabled());
    palettes->selectNextPalette();
    EXPECT_EQ(fan->getCurrentDisplaySettings().palette, 0);
    palettes->selectPreviousPalette();
    EXPECT_EQ(palettes->getPalette(), 7);
    // A click on the picture's fourth band picks static palette 3.
    auto* picture = palettes->getSelector();
    QSignalSpy bands(picture, &StaticPaletteSelector::paletteClicked);
    picture->resize(160, 120);
    QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(80, 70));
    ASSERT_EQ(bands.count(), 1);
    EXPECT_EQ(bands.at(0).at(0).toInt(), 4);
    EXPECT_EQ(palettes->getPalette(), 3);
    // A press on the dimmed fire slider chooses the fire palette.
    ASSERT_FALSE(palettes->getFireSlider()->isEnabled());
    QTest::mousePress(palettes->getFireSlider(), Qt::LeftButton);
    EXPECT_EQ(palettes->getPalette(), PaletteControl::firePalette);
    EXPECT_TRUE(palettes->getFireSlider()->isEnabled());

    auto* filters = toolbar->getFilterControls();
    filters->getDespeckleSlider()->setValue(7);
    filters->getDespeckleSlider()->setValue(0);
    ASSERT_EQ(despeckle.count(), 2);
    EXPECT_EQ(despeckle.at(0).at(0).toInt(), 15);
    EXPECT_EQ(despeckle.at(1).at(0).toInt(), 1);
    filters->getClampSlider()->setValue(75);
    ASSERT_EQ(clamp.count(), 1);
    EXPECT_FLOAT_EQ(clamp.at(0).at(0).toFloat(), 0.075F);

    auto* rotation = toolbar->getRotationControls();
    rotation->orientationButton(2)->click();
    EXPECT_EQ(rotation->getValue(), 180);
    EXPECT_FLOAT_EQ(fan->getCurrentDisplaySettings().rotation, 180.0F);
    EXPECT_TRUE(rotation->orientationButton(2)->isChecked());
    rotation->getSlider()->setValue(135);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(rotation->orientationButton(i)->isChecked()) << i;
    }
    rotation->getSlider()->setValue(270);
    EXPECT_TRUE(rotation->orientationButton(3)->isChecked());

    auto* overlays = toolbar->getOverlayFeatures();
    overlays->getRangeLabelsToggle()->setState(false);
    overlays->toggleOverlays();
    auto look = fan->getCurrentDisplaySettings();
    EXPECT_FALSE(look.rangeArcs || look.rangeLabels || look.sectorLines);
    overlays->toggleOverlays();
    look = fan->getCurrentDisplaySettings();
    EXPECT_TRUE(look.rangeArcs);
    EXPECT_FALSE(look.rangeLabels);
    EXPECT_TRUE(look.sectorLines);

    const bool flipped = fan->getCurrentDisplaySettings().horizontalFlip;
    toolbar->getFlipButton()->click();
    EXPECT_NE(fan->getCurrentDisplaySettings().horizontalFlip, flipped);
    toolbar->getFlipButton()->click();
    EXPECT_EQ(fan->getCurrentDisplaySettings().horizontalFlip, flipped);

    auto* tools = toolbar->getMeasuringTools();
    for (const auto& [name, mode] : {std::pair{"rectangleButton", MeasurementMode::RectangleArea},
                                     std::pair{"circleButton", MeasurementMode::CircleAreaFromCentre},
                                     std::pair{"straightLineButton", MeasurementMode::StraightLine}}) {
        auto* button = tools->findChild<QAbstractButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        button->click();
        EXPECT_EQ(fan->getMeasurementMode(), mode) << name;
    }
}

TEST(DisplayControls, OverlayDisplaysShowTheLiveSonar)
{
    LiveViewer live(43002);
    auto* settings = live.viewer.window->getSettingsControls();
    settings->findChild<QComboBox*>(QStringLiteral("distanceUnitSelect"))->setCurrentIndex(2);
    settings->findChild<QComboBox*>(QStringLiteral("pressureUnitSelect"))->setCurrentIndex(0);
    Ondrix::OndrixImage lastImage;
    Ondrix::EnvironmentalConditions lastConditions;
    DataProcessing::Orientation::Attitude lastAttitude;
    QObject::connect(live.viewer.controller, &MainController::newImage, live.toolbar,
                     [&](const Ondrix::OndrixImage& image) { lastImage = image; });
    QObject::connect(live.viewer.controller, &MainController::newEnvironmentalConditions, live.toolbar,
                     [&](Ondrix::EnvironmentalConditions conditions) { lastConditions = conditions; });
    QObject::connect(live.viewer.controller, &MainController::newAttitude, live.toolbar,
                     [&](DataProcessing::Orientation::Attitude attitude) { lastAttitude = attitude; });
    ASSERT_TRUE(live.connected());
    auto* displays = live.toolbar->getAdditionalDisplays();
    for (const auto* display : displays->getDisplays()) {
        displays->switchFor(display->getKeyStem())->setState(true);
    }
    for (const auto* display : displays->getDisplays()) {
        EXPECT_TRUE(waitFor([&] { return display->isVisible(); })) << display->getKeyStem().toStdString();
        EXPECT_TRUE(live.viewer.window->findChild<QWidget*>(QStringLiteral("sonarDisplay"))
                        ->rect()
                        .contains(display->geometry()))
            << display->getKeyStem().toStdString();
    }
    EXPECT_TRUE(live.fan->hasMouseTracking());

    const DataProcessing::Units::Distance::Feet feet;
    const auto* fps = displays->getFpsDisplay();
    EXPECT_TRUE(waitFor([&] { return labelText(fps, "fpsLabel").toInt() > 0; }));
    EXPECT_TRUE(waitFor([&] {
        const QString rate = labelText(fps, "dataRateLabel");
        return rate.startsWith('(') && rate.endsWith(QStringLiteral("Mb/s)")) &&
               rate.mid(1, rate.size() - 6).toDouble() > 0.0;
    })) << labelText(fps, "dataRateLabel").toStdString();

    const auto* parameters = displays->getSonarParametersDisplay();
    ASSERT_TRUE(waitFor([&] { return lastImage.getWidth() > 0 && !labelText(parameters, "rangeLabel").isEmpty(); }));
    EXPECT_TRUE(waitFor([&] {
        return labelText(parameters, "rangeLabel") ==
               QString::number(feet.fromSI(lastImage.getRange()), 'f', 2) + QString::fromStdString(feet.getSymbol());
    })) << labelText(parameters, "rangeLabel").toStdString();
    EXPECT_EQ(labelText(parameters, "gainLabel"), QString::number(lastImage.getGain(), 'g', 6) + QStringLiteral("%"));
    EXPECT_TRUE(labelText(parameters, "frequencyLabel").endsWith(QStringLiteral(" kHz")) ||
                labelText(parameters, "frequencyLabel").endsWith(QStringLiteral(" MHz")));
    EXPECT_EQ(SonarParametersDisplay::frequencyText(720000.0), QStringLiteral("720.0 kHz"));
    EXPECT_EQ(SonarParametersDisplay::frequencyText(1200000.0), QStringLiteral("1.2 MHz"));

    const auto* details = displays->getSonarDetailsDisplay();
    EXPECT_TRUE(waitFor([&] { return labelText(details, "serialNumberLabel") == QStringLiteral("43002"); }));
    EXPECT_EQ(labelText(details, "ipAddressLabel"), QStringLiteral("127.0.0.2"));
    EXPECT_EQ(labelText(details, "subnetMaskLabel"), QStringLiteral("255.0.0.0"));
    EXPECT_FALSE(labelText(details, "modelLabel").isEmpty());

    const auto* diagnostics = displays->getStatusDiagnosticsDisplay();
    EXPECT_TRUE(waitFor([&] { return labelText(diagnostics, "ahrsLabel") == QStringLiteral("Yes"); }));
    EXPECT_EQ(labelText(diagnostics, "pressureSensorLabel"), QStringLiteral("Yes"));
    EXPECT_FALSE(labelText(diagnostics, "firmwareLabel").isEmpty());
    Sim::SimulatedStatus trouble;
    trouble.overheatWarning = true;
    trouble.transmitFailure = true;
    trouble.brownoutPause = true;
    live.sonar->setStatus(trouble);
    EXPECT_TRUE(waitFor(
        [&] { return labelText(diagnostics, "temperatureStatusLabel") == QStringLiteral("Overheat Warning"); }));
    EXPECT_TRUE(waitFor([&] { return labelText(diagnostics, "transmitFailureLabel") == QStringLiteral("Yes"); }));
    EXPECT_TRUE(waitFor([&] { return labelText(diagnostics, "pauseReasonLabel") == QStringLiteral("Brownout"); }));
    EXPECT_EQ(labelText(diagnostics, "ssblLabel"), QStringLiteral("Yes"));
    live.sonar->setStatus({});
    EXPECT_TRUE(waitFor([&] { return labelText(diagnostics, "temperatureStatusLabel") == QStringLiteral("Good"); }));

    const auto* environment = displays->getEnvironmentDisplay();
    const DataProcessing::Units::Pressure::Pascal pascal;
    EXPECT_TRUE(waitFor([&] {
        return lastConditions.pressure > 0.0 &&
               labelText(environment, "pressureLabel") == pressureText(lastConditions.pressure, pascal);
    })) << labelText(environment, "pressureLabel").toStdString();
    EXPECT_TRUE(labelText(environment, "depthLabel").endsWith(QString::fromStdString(feet.getSymbol())));
    EXPECT_TRUE(labelText(environment, "temperatureLabel").endsWith(QStringLiteral(" °C")))
        << labelText(environment, "temperatureLabel").toStdString();

    auto* view = displays->getAttitudeDisplay()->getView();
    EXPECT_TRUE(waitFor([&] {
        return lastAttitude.pitch != 0.0F && view->getPitch() == std::clamp(lastAttitude.pitch, -20.0F, 20.0F);
    }));

    // The mouse over the fan, in feet.
    const auto* coordinates = displays->getCoordinateDisplay();
    live.fan->raise();
    EXPECT_TRUE(waitFor([&] {
        QTest::mouseMove(live.fan, QPoint(live.fan->width() / 2 + 20, live.fan->height() / 3));
        return labelText(coordinates, "rLabel") != QStringLiteral("0.0m");
    }));
    EXPECT_TRUE(labelText(coordinates, "rLabel").endsWith(QString::fromStdString(feet.getSymbol())));
    EXPECT_TRUE(labelText(coordinates, "thetaLabel").endsWith(QStringLiteral("°")));

    // Log time: the controller of the recording branch sends these.
    const auto* logTime = displays->getLogDateTimeDisplay();
    Q_EMIT live.toolbar->logTimeZoneRetrieved("Asia/Tokyo");
    Q_EMIT live.toolbar->currentLogTime(1700000000000); // 2023-11-14 22:13:20 UTC
    EXPECT_TRUE(labelText(logTime, "logTimeLabel").startsWith(QStringLiteral("Wed 15 November 2023 07:13:20")))
        << labelText(logTime, "logTimeLabel").toStdString();

    auto* zoom = displays->getZoomDisplay()->getZoomDisplay();
    ASSERT_NE(zoom, nullptr);
    EXPECT_EQ(zoom->size(), QSize(350, 350));
    const int level = zoom->getZoomIndex();
    displays->getZoomDisplay()->findChild<QPushButton*>(QStringLiteral("zoomIn"))->click();
    EXPECT_EQ(zoom->getZoomIndex(), level + 1);
    displays->getZoomDisplay()->findChild<QPushButton*>(QStringLiteral("zoomOut"))->click();
    EXPECT_EQ(zoom->getZoomIndex(), level);

    // A display asking to hide turns its switch off.
    Q_EMIT displays->getZoomDisplay()->requestHide();
    EXPECT_FALSE(displays->switchFor(QStringLiteral("zoomDisplay"))->isEnabled());
    displays->switchFor(QStringLiteral("mousePositionDisplay"))->setState(false);
    EXPECT_FALSE(live.fan->hasMouseTracking());
}

TEST(DisplayControls, OverlayDisplaysShowARecordingAsTheyShowTheLiveSonar)
{
    // The recording keeps the zone it was made in, and its times are shown
    // there.
    const QByteArray previousZone = qgetenv("TZ");
    qputenv("TZ", "Asia/Tokyo");
    ViewerSession viewer;
    QTemporaryDir folder;
    auto* toolbar = viewer.window->getDisplayControlToolbar();
    auto* displays = toolbar->getAdditionalDisplays();
    // A sonar seen earlier, 7 m deeper: its zero is not the recording's.
    Q_EMIT toolbar->newEnvironmentalConditions({200000.0, 285.0, 0.0});
    auto* settings = viewer.window->getSettingsControls();
    settings->findChild<QComboBox*>(QStringLiteral("distanceUnitSelect"))->setCurrentIndex(1);
    settings->findChild<QComboBox*>(QStringLiteral("temperatureUnitSelect"))->setCurrentIndex(2);
    std::filesystem::path path;
    {
        auto sonar = Testing::connectViewer(viewer, 43011, folder.path().toStdString());
        path = Testing::recordEntries(viewer, 20);
        viewer.controller->disconnectFromSonar();
    }
    qputenv("TZ", previousZone);
    ASSERT_TRUE(Testing::openThroughToolbar(viewer, path));
    auto* playback = viewer.window->getPlaybackToolbar();
    playback->getBookmarksButton()->click();
    QWidget* panel = playback->getBookmarkControls();
    ASSERT_TRUE(waitFor([&] { return panel->isVisible(); }));
    for (const auto* display : displays->getDisplays()) {
        displays->switchFor(display->getKeyStem())->setState(true);
    }
    // The displays come on under the panel the user has open.
    int covered = 0;
    for (const auto* display : displays->getDisplays()) {
        EXPECT_TRUE(waitFor([&] { return display->isVisible(); })) << display->getKeyStem().toStdString();
        const QRect shared = display->geometry() & panel->geometry();
        if (!shared.isEmpty()) {
            ++covered;
            QWidget* top = panel->parentWidget()->childAt(shared.center());
            EXPECT_TRUE(top == panel || panel->isAncestorOf(top)) << display->getKeyStem().toStdString();
        }
    }
    EXPECT_GT(covered, 0);
    playback->getBookmarksButton()->click();

    // Frame 0 is shown on opening; then frame 7.
    auto log = Testing::openLog(path);
    const auto index = viewer.controller->getLogEntryIndex();
    ASSERT_GE(index.size(), 20U);
    auto parsed = [&](int frame) {
        const auto entry = log->readEntry(index[static_cast<std::size_t>(frame)]);
        const auto* bytes = reinterpret_cast<const std::byte*>(entry->payload.data());
        return std::pair(Ondrix::MessageParsing::parseSimplePingResultV2({bytes, bytes + entry->payload.size()}),
                         entry->timestamp);
    };
    const auto [first, firstTime] = parsed(0);
    const auto [shown, shownTime] = parsed(7);
    playback->getScrubControl()->getSlider()->setValue(7);

    const DataProcessing::Units::Distance::Yards yards;
    const auto* parameters = displays->getSonarParametersDisplay();
    EXPECT_TRUE(waitFor([&] {
        return labelText(parameters, "rangeLabel") == QString::number(yards.fromSI(shown.image.getRange()), 'f', 2) +
                                                          QString::fromStdString(yards.getSymbol());
    })) << labelText(parameters, "rangeLabel").toStdString();
    EXPECT_EQ(labelText(parameters, "gainLabel"), QString::number(shown.image.getGain(), 'g', 6) + QStringLiteral("%"));
    EXPECT_EQ(labelText(parameters, "frequencyLabel"),
              SonarParametersDisplay::frequencyText(shown.image.getFrequency()));

    // The recording names its sonar; it has no address.
    const auto* details = displays->getSonarDetailsDisplay();
    EXPECT_EQ(labelText(details, "serialNumberLabel"), QStringLiteral("43011"));
    EXPECT_FALSE(labelText(details, "modelLabel").isEmpty());
    EXPECT_EQ(labelText(details, "ipAddressLabel"), QStringLiteral("-"));
    EXPECT_EQ(labelText(details, "subnetMaskLabel"), QStringLiteral("-"));

    // The depth's zero is the recording's own first reading.
    const auto* environment = displays->getEnvironmentDisplay();
    DepthReference depth;
    depth.depth(first.pressure, waterDensity(0.0));
    const double metres = depth.depth(shown.pressure, waterDensity(0.0));
    EXPECT_EQ(labelText(environment, "depthLabel"),
              QString::number(yards.fromSI(metres), 'f', 1) + QString::fromStdString(yards.getSymbol()));
    const DataProcessing::Units::Temperature::Fahrenheit fahrenheit;
    EXPECT_EQ(labelText(environment, "temperatureLabel"),
              QString::number(fahrenheit.fromSI(shown.temperature), 'f', 2) + QStringLiteral(" ") +
                  QString::fromStdString(fahrenheit.getSymbol()));
    const DataProcessing::Units::Pressure::Bar bar;
    EXPECT_EQ(labelText(environment, "pressureLabel"), pressureText(shown.pressure, bar));

    auto* view = displays->getAttitudeDisplay()->getView();
    EXPECT_EQ(view->getPitch(), std::clamp(shown.attitude.pitch, -20.0F, 20.0F));
    EXPECT_EQ(labelText(displays->getAttitudeDisplay(), "pitchLabel"),
              QString::number(static_cast<double>(shown.attitude.pitch), 'f', 1) + QStringLiteral("°"));
    EXPECT_EQ(labelText(displays->getAttitudeDisplay(), "rollLabel"),
              QString::number(static_cast<double>(shown.attitude.roll), 'f', 1) + QStringLiteral("°"));

    // Unit and water changes show on the lines at once, with no new reading.
    settings->findChild<QComboBox*>(QStringLiteral("distanceUnitSelect"))->setCurrentIndex(0);
    EXPECT_EQ(labelText(parameters, "rangeLabel"), QString::number(shown.image.getRange(), 'f', 2) + "m");
    EXPECT_EQ(labelText(environment, "depthLabel"), QString::number(metres, 'f', 1) + "m");
    // The default water: no sonar is connected.
    settings->findChild<QWidget*>(QStringLiteral("defaultSonarSettings"))
        ->findChild<QRadioButton*>(QStringLiteral("saltWaterOption"))
        ->click();
    EXPECT_EQ(labelText(environment, "depthLabel"),
              QString::number((shown.pressure - first.pressure) / (1027.0 * 9.81), 'f', 1) + "m");
    environment->findChild<QAction*>(QStringLiteral("zeroDepthAction"))->trigger();
    EXPECT_EQ(labelText(environment, "depthLabel"), QStringLiteral("0.0m"));

    const QString logTime = labelText(displays->getLogDateTimeDisplay(), "logTimeLabel");
    EXPECT_EQ(logTime, QDateTime::fromMSecsSinceEpoch(shownTime, QTimeZone("Asia/Tokyo"))
                           .toString(QString::fromLatin1(LogDateTimeDisplay::format)));
    EXPECT_TRUE(logTime.endsWith(QStringLiteral("JST"))) << logTime.toStdString();

    // A recording holds no status: nothing of the live sonar's is left.
    const auto* diagnostics = displays->getStatusDiagnosticsDisplay();
    EXPECT_EQ(labelText(diagnostics, "firmwareLabel"), QString());
    EXPECT_EQ(labelText(diagnostics, "ahrsLabel"), QString());
    EXPECT_EQ(labelText(diagnostics, "temperatureStatusLabel"), QString());
    const auto* fps = displays->getFpsDisplay();

    // Playing: the frame rate. Looped, so that a slow machine has frames to
    // count for as long as it needs.
    viewer.controller->setLoopPlayback(true);
    playback->getPlayButton()->click();
    EXPECT_TRUE(waitFor([&] { return labelText(fps, "fpsLabel").toInt() > 0; }));
    playback->getPauseButton()->click();

    // Closed, nothing of the recording is left for the next source: no
    // frame rate where nothing plays.
    viewer.controller->closeLogFile();
    EXPECT_EQ(labelText(fps, "fpsLabel"), QStringLiteral("—"));
    EXPECT_EQ(labelText(parameters, "rangeLabel"), QString());
    EXPECT_EQ(labelText(environment, "depthLabel"), QString());
    EXPECT_EQ(labelText(displays->getLogDateTimeDisplay(), "logTimeLabel"), QString());
    EXPECT_EQ(labelText(displays->getAttitudeDisplay(), "pitchLabel"), QStringLiteral("—"));
    EXPECT_EQ(view->getPitch(), 0.0F);
}

TEST(DisplayControls, ShortWindowMovesTheToolbarToTheOverflowSidebar)
{
    LiveViewer live(43003);
    ASSERT_TRUE(live.connected());
    auto* window = live.viewer.window.get();
    auto* overflow = window->findChild<QWidget*>(QStringLiteral("overflowSidebar"));
    auto* sidebar = window->findChild<QWidget*>(QStringLiteral("sidebar"));
    window->showNormal();
    // Connecting arranges the sidebar once the capture toolbar is in it: a
    // window a pixel shorter than that sidebar overflows at once. The window
    // is held at its size, as a maximised one on a small screen is, so that
    // no later resize mends a wrong decision.
    int sidebarAtConnect = 0;
    bool overflowedAtConnect = false;
    QObject::connect(live.viewer.controller, &MainController::connectedToSonar, window, [&] {
        sidebarAtConnect = sidebar->minimumSizeHint().height();
        overflowedAtConnect = window->isOverflowed();
    });
    const QSize minimum = window->minimumSize();
    for (const bool short_ : {false, true}) {
        live.viewer.controller->disconnectFromSonar();
        ASSERT_TRUE(waitFor([&] { return window->getMode() == LumivaneWindow::NoSource; }));
        const int height = short_ ? sidebarAtConnect - 1 : 1000;
        window->setFixedSize(1200, height);
        ASSERT_TRUE(waitFor([&] { return window->height() == height && !window->isOverflowed(); }));
        live.viewer.controller->connectWhenSeen(43003);
        ASSERT_TRUE(live.connected());
        EXPECT_EQ(overflowedAtConnect, short_);
    }
    window->setMinimumSize(minimum);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);

    // A display at the right edge that grows with its text stays on screen.
    auto* displays = live.toolbar->getAdditionalDisplays();
    auto* logTime = displays->getLogDateTimeDisplay();
    displays->switchFor(logTime->getKeyStem())->setState(true);
    ASSERT_TRUE(waitFor([&] { return logTime->isVisible(); }));
    const QWidget* area = logTime->parentWidget();
    logTime->move(area->width() - logTime->width(), 0);
    const int narrow = logTime->width();
    logTime->currentLogTime(1767268800000);
    ASSERT_TRUE(waitFor([&] { return logTime->width() > narrow; }));
    EXPECT_TRUE(waitFor([&] { return area->rect().contains(logTime->geometry()); }));

    window->resize(1200, 540);
    ASSERT_TRUE(waitFor([&] { return window->isOverflowed(); }));
    EXPECT_EQ(live.toolbar->parentWidget(), overflow);
    EXPECT_TRUE(overflow->isVisible());
    EXPECT_TRUE(live.toolbar->isVisible());
    for (const auto& popOut : live.toolbar->getPopOuts()) {
        EXPECT_EQ(popOut->getPopOutDirection(), 1);
    }
    window->resize(1200, 1400);
    ASSERT_TRUE(waitFor([&] { return !window->isOverflowed(); }));
    EXPECT_EQ(live.toolbar->parentWidget(), sidebar);
    EXPECT_FALSE(overflow->isVisible());
    for (const auto& popOut : live.toolbar->getPopOuts()) {
        EXPECT_EQ(popOut->getPopOutDirection(), 0);
    }
}

TEST(DisplayControls, TerminationSignalQuitsAndKeepsTheSettings)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QProcess viewer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    viewer.setProcessEnvironment(environment);
    // Ports of its own on loopback: it listens, and no sonar talks to it.
    viewer.start(QStringLiteral(LUMIVANE_EXECUTABLE),
                 {QStringLiteral("--listen-address"), QStringLiteral("127.0.0.1"), QStringLiteral("--status-port"),
                  QString::number(Testing::freeUdpPort())});
    ASSERT_TRUE(viewer.waitForStarted());
    const QString ini = home.filePath(QStringLiteral("config/Keldar/Ondrix Lumivane.ini"));
    // The shortcuts are written once the window is up.
    ASSERT_TRUE(waitFor(
        [&] {
            QSettings store(ini, QSettings::IniFormat);
            return store.contains(QStringLiteral("CaptureToolbar/stillCaptureShortcut"));
        },
        std::chrono::seconds(60)));
    {
        QSettings store(ini, QSettings::IniFormat);
        ASSERT_FALSE(store.contains(QStringLiteral("GeneralSettings/themeIndex"))) << "written only at exit";
    }
    ::kill(static_cast<pid_t>(viewer.processId()), SIGTERM);
    ASSERT_TRUE(viewer.waitForFinished(60000));
    EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(viewer.exitCode(), 0);
    QSettings store(ini, QSettings::IniFormat);
    EXPECT_EQ(store.value(QStringLiteral("GeneralSettings/temperatureUnitIndex")).toInt(), 1);
    EXPECT_TRUE(store.contains(QStringLiteral("GeneralSettings/themeIndex")));
}

} // namespace
} // namespace Keldar::OndrixLumivane
