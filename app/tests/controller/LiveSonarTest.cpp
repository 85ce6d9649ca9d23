// The live half of the viewer end to end: the real window and controller
// against simulated sonars on loopback.

#include "support/LogTestSupport.h"
#include "support/ViewerTestSupport.h"

#include "application/LumivaneApplication.h"
#include "application/LumivaneWindow.h"
#include "base/SettingsStore.h"
#include "controller/MainController.h"
#include "sonarcontrols/FrequencyControl.h"
#include "sonarcontrols/SonarControlToolbar.h"

#include <keldar/gui/ToggleSwitch.h>
#include <keldar/ondrix/MessageBuilding.h>
#include <keldar/visualisation/FanDisplay.h>

#include <QAbstractButton>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

using namespace Keldar::OndrixLumivane;
using namespace Keldar::OndrixLumivane::Testing;
using Keldar::GUI::Widgets::Controls::ToggleSwitch;
using Keldar::Sim::SimulatedStatus;

namespace {

constexpr std::uint32_t serial = 40001;

bool connected(const ViewerSession& viewer)
{
    return viewer.controller->isConnected() && viewer.window->getMode() == LumivaneWindow::LiveSonar;
}

// Opens the sonar list and clicks the entry of `serialNumber` once it can be
// chosen; false when it never can.
bool clickInSonarList(ViewerSession& viewer, std::uint32_t serialNumber)
{
    auto* listButton = viewer.window->findChild<QAbstractButton*>("sonarListButton");
    auto* list = viewer.window->findChild<QListWidget*>("sonarListWidget");
    if (listButton == nullptr || list == nullptr) {
        return false;
    }
    if (!listButton->isChecked()) {
        listButton->click();
    }
    QListWidgetItem* entry = nullptr;
    if (!waitFor([&] {
            entry = list->count() > 0 ? list->item(0) : nullptr;
            return entry != nullptr && list->isVisible() && (entry->flags() & Qt::ItemIsEnabled) &&
                   entry->data(Qt::UserRole).value<std::uint32_t>() == serialNumber;
        })) {
        return false;
    }
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(entry).center());
    return true;
}

bool connectTo(ViewerSession& viewer, std::uint32_t serialNumber)
{
    viewer.controller->connectWhenSeen(serialNumber);
    return waitFor([&] { return connected(viewer); });
}

} // namespace

TEST(LiveSonar, ConnectingShowsTheSonarAndItsImages)
{
    ViewerSession viewer;
    auto* sonarControls = viewer.window->findChild<QWidget*>("sonarControlToolbar");
    auto* mainToolbar = viewer.window->findChild<QWidget*>("mainToolbar");
    ASSERT_NE(sonarControls, nullptr);
    ASSERT_NE(mainToolbar, nullptr);
    EXPECT_FALSE(sonarControls->isVisible());
    auto sonar = viewer.network.startSonar(serial);

    // As a user would: open the sonar list and click the sonar.
    auto* listButton = viewer.window->findChild<QAbstractButton*>("sonarListButton");
    ASSERT_NE(listButton, nullptr);
    listButton->click();
    QListWidgetItem* entry = nullptr;
    ASSERT_TRUE(waitFor([&] {
        auto* list = viewer.window->findChild<QListWidget*>("sonarListWidget");
        entry = list != nullptr && list->count() > 0 ? list->item(0) : nullptr;
        return entry != nullptr && list->isVisible() && (entry->flags() & Qt::ItemIsEnabled) &&
               entry->data(Qt::UserRole).value<std::uint32_t>() == serial;
    }));
    const QRect where = entry->listWidget()->visualItemRect(entry);
    QTest::mouseClick(entry->listWidget()->viewport(), Qt::LeftButton, {}, where.center());
    ASSERT_TRUE(waitFor([&] { return connected(viewer); }));
    EXPECT_TRUE(mainToolbar->isVisible());
    EXPECT_TRUE(sonarControls->isVisible());

    EXPECT_EQ(viewer.window->windowTitle(),
              QString("Ondrix %1 [40001]").arg(QString::fromStdString(viewer.controller->getSonar()->getSpec().name)));
    EXPECT_TRUE(waitFor([&] { return viewer.toastShown("Connected!"); }));
    auto* area = viewer.window->findChild<QStackedWidget*>("mainDisplayArea");
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(area->currentWidget()->objectName(), "sonarDisplay");

    // The fan is drawn from the images: a good part of the display is no
    // longer the background.
    EXPECT_TRUE(waitFor([&] { return viewer.controller->imagesShown() >= 5 && viewer.fanCoverage() > 0.1; }))
        << "coverage " << viewer.fanCoverage();

    // A still of the display carries the picture at the display's size.
    const QString still = viewer.settings.path() + "/still.jpg";
    ASSERT_TRUE(viewer.window->saveStillImage(still));
    const QImage saved(still);
    EXPECT_EQ(saved.size(), viewer.window->getFanDisplay()->size());

    // The data rate counts the sonar's messages: images of 256 x 500 bytes
    // at several per second are megabits per second.
    float rate = 0;
    QObject::connect(viewer.controller, &MainController::newDataRate, viewer.window.get(),
                     [&](float megabits) { rate = megabits; });
    EXPECT_TRUE(waitFor([&] { return rate > 1.0F; })) << rate;

    // Connecting again while connected lets the first connection go cleanly.
    viewer.controller->connectToSonar(serial);
    EXPECT_TRUE(waitFor([&] { return connected(viewer); }));
    const auto shown = viewer.controller->imagesShown();
    EXPECT_TRUE(waitFor([&] { return viewer.controller->imagesShown() > shown + 3; }));

    // Disconnecting clears every toast, lasting ones too, and returns to the
    // home page.
    SimulatedStatus hot;
    hot.overheatWarning = true;
    sonar->setStatus(hot);
    ASSERT_TRUE(waitFor([&] { return viewer.toastShown("The sonar is getting too hot."); }));
    viewer.controller->disconnectFromSonar();
    EXPECT_TRUE(waitFor([&] { return viewer.shownToasts().isEmpty(); }))
        << viewer.shownToasts().join("; ").toStdString();
    EXPECT_EQ(area->currentWidget()->objectName(), "homeDisplay");
    EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::NoSource);
    EXPECT_TRUE(viewer.window->windowTitle().isEmpty());
    EXPECT_FALSE(sonarControls->isVisible());
}

TEST(LiveSonar, StatusAlarmsComeAndGo)
{
    ViewerSession viewer;
    auto sonar = viewer.network.startSonar(serial);
    ASSERT_TRUE(connectTo(viewer, serial));
    const QString tooHot = "The sonar is getting too hot.";
    const QString overheated =
        "The sonar has overheated, it will no longer function until the temperature has dropped.";
    const QString power = "Insufficient power supply - power-cycle the sonar to continue.";

    SimulatedStatus status;
    status.overheatWarning = true;
    sonar->setStatus(status);
    EXPECT_TRUE(waitFor([&] { return viewer.toastShown(tooHot); }));

    status.overheatWarning = false;
    status.overheated = true;
    sonar->setStatus(status);
    EXPECT_TRUE(waitFor([&] { return viewer.toastShown(overheated) && !viewer.toastShown(tooHot); }));

    status.overheated = false;
    sonar->setStatus(status);
    EXPECT_TRUE(waitFor([&] { return !viewer.toastShown(overheated) && !viewer.toastShown(tooHot); }));

    // A brownout holds the sonar; the next image says it is running again.
    status.brownoutPause = true;
    sonar->setStatus(status);
    EXPECT_TRUE(waitFor([&] { return viewer.toastShown(power); }));
    status.brownoutPause = false;
    sonar->setStatus(status);
    const auto shown = viewer.controller->imagesShown();
    EXPECT_TRUE(waitFor([&] { return viewer.controller->imagesShown() > shown && !viewer.toastShown(power); }));

    status.transmitFailure = true;
    sonar->setStatus(status);
    EXPECT_TRUE(waitFor([&] { return !viewer.messageBoxes.empty(); }));
    ASSERT_EQ(viewer.messageBoxes.size(), 1U);
    EXPECT_EQ(viewer.messageBoxes[0].first, "Transmit Circuit Failure");
    EXPECT_EQ(viewer.messageBoxes[0].second, "Critical! Internal hardware failure.");
}

TEST(LiveSonar, SilenceAndReconnection)
{
    ViewerSession viewer;
    auto sonar = viewer.network.startSonar(serial);
    ASSERT_TRUE(connectTo(viewer, serial));
    const QString offline = "The sonar has been disconnected. Reconnect to continue operation.";

    auto* fan = viewer.window->getFanDisplay();
    auto* fps = viewer.window->findChild<QWidget*>("fpsDisplay");
    ASSERT_NE(fps, nullptr);
    auto rates = [&] {
        return fps->findChild<QLabel*>("fpsLabel")->text() + " " + fps->findChild<QLabel*>("dataRateLabel")->text();
    };
    EXPECT_TRUE(waitFor([&] { return rates() != "0 (0.00Mb/s)"; })) << rates().toStdString();
    // Silent until the offline picture has been checked, however slowly the
    // machine gets there, then heard again.
    sonar->pauseStatus(std::chrono::minutes(5));
    EXPECT_TRUE(waitFor([&] { return viewer.toastShown(offline); }));
    // The picture says so until images come again; nothing flows meanwhile.
    EXPECT_TRUE(fan->isOffline());
    EXPECT_TRUE(waitFor([&] { return rates() == "0 (0.00Mb/s)"; })) << rates().toStdString();
    const auto shown = viewer.controller->imagesShown();
    sonar->pauseStatus(std::chrono::milliseconds(0));
    EXPECT_TRUE(waitFor([&] { return !viewer.toastShown(offline) && viewer.controller->imagesShown() > shown; }));
    EXPECT_TRUE(connected(viewer));
    EXPECT_FALSE(fan->isOffline());

    // The sonar comes back but no longer takes connections: the viewer gives up.
    SimulatedStatus status;
    status.refuseConnections = true;
    sonar->pauseStatus(std::chrono::milliseconds(4500));
    sonar->setStatus(status);
    EXPECT_TRUE(
        waitFor([&] { return viewer.toastShown("Failed to reconnect to the sonar."); }, std::chrono::seconds(30)));
    EXPECT_FALSE(viewer.controller->isConnected());
    EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::NoSource);
    auto* area = viewer.window->findChild<QStackedWidget*>("mainDisplayArea");
    EXPECT_EQ(area->currentWidget()->objectName(), "homeDisplay");
}

TEST(LiveSonar, SavedParametersComeBackOnReconnection)
{
    ViewerSession viewer;
    viewer.setGeneralSetting("saveSonarParams", true);
    auto sonar = viewer.network.startSonar(serial);
    ASSERT_TRUE(connectTo(viewer, serial));

    auto& controller = *viewer.controller;
    auto* toolbar = viewer.window->findChild<SonarControlToolbar*>("sonarControlToolbar");
    ASSERT_NE(toolbar, nullptr);
    controller.setFrequency(Keldar::Ondrix::Frequency::High);
    // Below the primary frequency's minimum: only the secondary allows it.
    controller.setRange(0.5);
    controller.setGain(33.0);
    controller.setPingRate(static_cast<int>(Keldar::Ondrix::PingRate::Rate5Hz));
    controller.setSonarBandwidth(42);
    controller.setGainAssist(true);
    controller.setGainBoost(false);
    controller.setFullBeams(true);
    controller.setSonarEnvironment(1485.5, 31.0);
    controller.setGamma(200);
    toolbar->getFrequencyControl()->getAutoButton()->click();
    ASSERT_TRUE(toolbar->autoFrequencyIsEnabled());
    controller.disconnectFromSonar();
    ASSERT_FALSE(controller.isConnected());

    // Defaults for the new connection, which the saved values must override.
    controller.setBandwidthLimit(100);
    controller.setEnvironmentParams(1500.0, 0.0);
    const auto before = sonar->counters().fireRequests;
    ASSERT_TRUE(connectTo(viewer, serial));
    ASSERT_TRUE(waitFor([&] { return sonar->counters().fireRequests > before + 2; }));
    const auto request = sonar->lastFireParameters();
    ASSERT_TRUE(request);
    EXPECT_DOUBLE_EQ(request->range, 0.5);
    EXPECT_DOUBLE_EQ(request->gain, 33.0);
    EXPECT_EQ(request->frequency, static_cast<unsigned>(Keldar::Ondrix::Frequency::High));
    EXPECT_EQ(request->pingRate, static_cast<unsigned>(Keldar::Ondrix::PingRate::Rate5Hz));
    EXPECT_EQ(request->bandwidth, 42U);
    EXPECT_EQ(request->gamma, 200U);
    EXPECT_TRUE(request->gainAssist);
    EXPECT_FALSE(request->gainBoost);
    EXPECT_TRUE(request->fullBeams);
    // Environment is kept by the sonar object, not sent.
    EXPECT_DOUBLE_EQ(controller.getSonar()->getSpeedOfSound(), 1485.5);
    EXPECT_DOUBLE_EQ(controller.getSonar()->getSalinity(), 31.0);
    // The controls show what the sonar runs.
    EXPECT_TRUE(toolbar->autoFrequencyIsEnabled());
    EXPECT_TRUE(toolbar->getFrequencyControl()->getAutoButton()->isChecked());
    EXPECT_TRUE(viewer.window->findChild<ToggleSwitch*>("fullBeamsToggle")->isEnabled());

    // Codes the sonar does not know, from a store edited by hand, never
    // reach the wire; the rest is still restored.
    controller.disconnectFromSonar();
    {
        const auto store = openSettingsStore();
        store->beginGroup("SavedSonar-40001");
        store->setValue("frequency", 9);
        store->setValue("pingRate", 77);
    }
    const auto again = sonar->counters().fireRequests;
    ASSERT_TRUE(connectTo(viewer, serial));
    ASSERT_TRUE(waitFor([&] { return sonar->counters().fireRequests > again + 2; }));
    const auto guarded = sonar->lastFireParameters();
    ASSERT_TRUE(guarded);
    EXPECT_TRUE(guarded->frequency == 1 || guarded->frequency == 2) << int(guarded->frequency);
    EXPECT_LE(guarded->pingRate, 4U);
    EXPECT_DOUBLE_EQ(guarded->range, 1.0); // the primary frequency's minimum
}

TEST(LiveSonar, AutoConnectOnlyToALoneConnectableSonar)
{
    ViewerSession viewer;
    viewer.setGeneralSetting("autoConnect", true);
    std::vector<std::uint32_t> listed;
    QObject::connect(viewer.controller, &MainController::newVisibleSonarsList, viewer.window.get(),
                     [&](const MainController::VisibleSonars& list) {
                         listed.clear();
                         for (const auto& entry : list) {
                             listed.push_back(entry.first);
                         }
                     });

    {
        // One that refuses connections is listed but not connectable.
        auto config = viewer.network.sonarConfig(40010, 3);
        config.status.refuseConnections = true;
        Keldar::Sim::SimulatedSonar refusing(config);
        refusing.start();
        EXPECT_TRUE(waitFor([&] { return listed.size() == 1; }));
        EXPECT_FALSE(viewer.controller->isConnected());
        refusing.stop();
        EXPECT_TRUE(waitFor([&] { return listed.empty(); }));
    }
    {
        // Two powered up together: the user chooses. The first is heard
        // alone for a moment, which must not be taken for a lone sonar.
        auto first = viewer.network.startSonar(40011, 4);
        auto second = viewer.network.startSonar(40012, 5);
        EXPECT_TRUE(waitFor([&] { return listed.size() == 2; }));
        const auto seenTogether = first->counters().statusDatagramsSent;
        EXPECT_TRUE(waitFor([&] { return first->counters().statusDatagramsSent > seenTogether + 20; }));
        EXPECT_FALSE(viewer.controller->isConnected());
        first->stop();
        second->stop();
        EXPECT_TRUE(waitFor([&] { return listed.empty(); }));
    }
    EXPECT_FALSE(viewer.controller->isConnected());
    auto lone = viewer.network.startSonar(40013, 6);
    EXPECT_TRUE(waitFor([&] { return connected(viewer); }));
    EXPECT_EQ(viewer.controller->getSonar()->getSerialNumber(), 40013U);
}

TEST(LiveSonar, ManySonarsReachTheListCoalescedAndBounded)
{
    ViewerSession viewer;
    int lists = 0;
    MainController::VisibleSonars latest;
    QObject::connect(viewer.controller, &MainController::newVisibleSonarsList, viewer.window.get(),
                     [&](const MainController::VisibleSonars& list) {
                         ++lists;
                         latest = list;
                     });
    QUdpSocket socket;
    auto announce = [&](std::uint32_t serialNumber) {
        Keldar::Ondrix::StatusFields fields;
        fields.serialNumber = serialNumber;
        fields.partNumber = static_cast<Keldar::Ondrix::ModelNumber>(1032);
        fields.ipAddress = 0x0900007F; // 127.0.0.9
        fields.subnetMask = 0x000000FF;
        const auto bytes = Keldar::Ondrix::MessageBuilding::buildStatusDatagram(fields);
        socket.writeDatagram(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()),
                             QHostAddress::LocalHost, viewer.network.statusPort);
    };
    // All from one sender, which may hold only its share of the table.
    const std::size_t limit = Keldar::Ondrix::Utilities::ConnectionManager::maxSonarsPerSender;
    const std::uint32_t first = 50000;
    const std::uint32_t end = first + 300;
    for (std::uint32_t serialNumber = first; serialNumber < end; ++serialNumber) {
        announce(serialNumber);
    }
    // The newest are listed, and only they. A burst can overflow the socket's
    // buffer, so the ones not listed yet are heard again.
    EXPECT_TRUE(waitFor([&] {
        bool complete = latest.size() == limit;
        for (std::uint32_t serialNumber = end - limit; serialNumber < end; ++serialNumber) {
            if (latest.count(serialNumber) == 0) {
                announce(serialNumber);
                complete = false;
            }
        }
        return complete;
    })) << latest.size();
    // One list per datagram would be hundreds.
    EXPECT_LT(lists, 40);
}

TEST(LiveSonar, ConnectWhenSeenWaitsForThatSonar)
{
    ViewerSession viewer;
    viewer.controller->connectToSonar(40021); // not seen yet
    EXPECT_TRUE(waitFor([&] { return viewer.toastShown("Failed to connect."); }));
    EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::NoSource);

    viewer.controller->connectWhenSeen(40021);
    auto other = viewer.network.startSonar(40020, 2);
    // The wrong sonar is seen first and left alone.
    EXPECT_TRUE(waitFor([&] {
        return !viewer.controller->isConnected() && viewer.window->getMode() == LumivaneWindow::NoSource &&
               other->counters().statusDatagramsSent > 5;
    }));
    EXPECT_FALSE(viewer.controller->isConnected());
    auto wanted = viewer.network.startSonar(40021, 3);
    EXPECT_TRUE(waitFor([&] { return connected(viewer); }));
    EXPECT_EQ(viewer.controller->getSonar()->getSerialNumber(), 40021U);
    EXPECT_EQ(other->counters().connectionsAccepted, 0U);
}

TEST(LiveSonar, ASlowDisplayIsHandedOnlyTheNewestImage)
{
    ViewerSession viewer;
    auto sonar = viewer.network.startSonar(serial);
    ASSERT_TRUE(connectTo(viewer, serial));
    sonar->setIgnorePacing(true);
    int handedOn = 0;
    QObject::connect(viewer.controller, &MainController::newImage, viewer.window.get(), [&] { ++handedOn; });
    ASSERT_TRUE(waitFor([&] { return handedOn > 0; }));

    // The GUI thread is busy while images keep arriving: when it is free again
    // the display gets the newest of them, not every one in turn.
    const auto received = viewer.controller->imagesReceived();
    // Busy: no events are processed until more than five have arrived.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (viewer.controller->imagesReceived() - received <= 5 && std::chrono::steady_clock::now() < deadline) {
        QThread::yieldCurrentThread();
    }
    ASSERT_GT(viewer.controller->imagesReceived() - received, 5U);
    handedOn = 0;
    QCoreApplication::processEvents();
    EXPECT_LE(handedOn, 2);
    EXPECT_GE(handedOn, 1);
}

TEST(LiveSonar, ASonarThatDoesNotAnswerFailsWhileTheWindowKeepsWorking)
{
    ViewerSession viewer;
    auto config = viewer.network.sonarConfig(40061, 3);
    config.tcpPort = 0; // listed as connectable, but no session where the viewer looks
    Keldar::Sim::SimulatedSonar silent(config);
    silent.start();

    // The GUI thread's events while the connection is pending.
    int ticksWhileConnecting = 0;
    QTimer ticker;
    ticker.setInterval(20);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (viewer.controller->isConnecting()) {
            ++ticksWhileConnecting;
        }
    });
    ticker.start();
    ASSERT_TRUE(clickInSonarList(viewer, 40061));
    auto* connecting = viewer.window->findChild<QLabel*>("connectingLabel");
    ASSERT_NE(connecting, nullptr);
    EXPECT_TRUE(connecting->isVisible());
    EXPECT_EQ(connecting->text(), QString::fromUtf8("Connecting…"));

    EXPECT_TRUE(waitFor([&] { return viewer.toastShown("Failed to connect."); }));
    EXPECT_GE(ticksWhileConnecting, 5);
    EXPECT_FALSE(viewer.controller->isConnecting());
    EXPECT_FALSE(connecting->isVisible());
    EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::NoSource);
}

TEST(LiveSonar, AnOpenLogIsNeverTakenOverButTheUsersChoiceOfASonarClosesIt)
{
    ViewerSession viewer;
    std::filesystem::path recording;
    {
        auto recorder = connectViewer(viewer, 40070, viewer.settings.path().toStdString());
        recording = recordEntries(viewer, 20);
        viewer.controller->disconnectFromSonar();
    }
    ASSERT_FALSE(recording.empty());
    auto* list = viewer.window->findChild<QListWidget*>("sonarListWidget");
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(waitFor([&] { return list->count() == 1 && list->item(0)->text() == "No sonars detected"; }));

    viewer.setGeneralSetting("autoConnect", true);
    ASSERT_TRUE(openThroughToolbar(viewer, recording));
    // A lone sonar heard while the log is open, and asked for by serial number
    // too, is left alone well past the auto-connect's settling time.
    auto lone = viewer.network.startSonar(40071, 4);
    viewer.controller->connectWhenSeen(40071);
    EXPECT_TRUE(waitFor([&] { return lone->counters().statusDatagramsSent > 30; }));
    EXPECT_EQ(lone->counters().connectionsAccepted, 0U);
    EXPECT_EQ(viewer.window->getMode(), LumivaneWindow::LogPlayback);
    auto* closeFile = viewer.window->findChild<QWidget*>("closeFileButton");
    auto* disconnect = viewer.window->findChild<QWidget*>("disconnectButton");
    auto* playback = viewer.window->findChild<QWidget*>("playbackToolbar");
    auto* sonarControls = viewer.window->findChild<QWidget*>("sonarControlToolbar");
    ASSERT_TRUE(closeFile && disconnect && playback && sonarControls);
    EXPECT_TRUE(closeFile->isVisible() && playback->isVisible());
    EXPECT_FALSE(disconnect->isVisible() || sonarControls->isVisible());

    // The user's own choice ends the playback first.
    viewer.setGeneralSetting("autoConnect", false);
    ASSERT_TRUE(clickInSonarList(viewer, 40071));
    ASSERT_TRUE(waitFor([&] { return connected(viewer); }));
    EXPECT_TRUE(viewer.controller->getLogEntryIndex().empty());
    EXPECT_TRUE(disconnect->isVisible() && sonarControls->isVisible());
    EXPECT_FALSE(closeFile->isVisible() || playback->isVisible());
}
