// The sonar list under a flood of well-formed status datagrams from made-up
// serial numbers and several senders: the connected sonar and one only listed
// stay in it throughout, and the list says how many datagrams it ignored.

#include "application/LumivaneWindow.h"
#include "controller/MainController.h"
#include "support/ViewerTestSupport.h"

#include <keldar/sim/SimulatedSonar.h>

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <set>
#include <thread>
#include <vector>

using namespace Keldar::OndrixLumivane;
using namespace Keldar::OndrixLumivane::Testing;

TEST(SpoofedStatus, AFloodFromSeveralSendersEmptiesNeitherTheConnectedNorTheListedSonar)
{
    ViewerSession viewer;
    constexpr std::uint32_t connectedSerial = 40081, listedSerial = 40082;
    auto connectedSonar = viewer.network.startSonar(connectedSerial, 2);
    auto listedSonar = viewer.network.startSonar(listedSerial, 3);
    viewer.controller->connectWhenSeen(connectedSerial);
    ASSERT_TRUE(waitFor([&] { return viewer.controller->isConnected(); }));

    auto* list = viewer.window->findChild<QListWidget*>("sonarListWidget");
    auto* ignoredLabel = viewer.window->findChild<QLabel*>("ignoredStatusLabel");
    ASSERT_NE(list, nullptr);
    ASSERT_NE(ignoredLabel, nullptr);
    const auto bothIn = [&](const auto& serials) {
        return serials.count(connectedSerial) == 1 && serials.count(listedSerial) == 1;
    };
    const auto shown = [&] {
        std::set<std::uint32_t> serials;
        for (int i = 0; i < list->count(); ++i) {
            serials.insert(list->item(i)->data(Qt::UserRole).value<std::uint32_t>());
        }
        return serials;
    };
    ASSERT_TRUE(waitFor([&] { return bothIn(shown()); }));

    // Every list the controller hands on during the flood, and what the
    // widget shows after each batch.
    int lists = 0;
    int listsMissingOne = 0;
    QObject::connect(viewer.controller, &MainController::newVisibleSonarsList, viewer.window.get(),
                     [&](const MainController::VisibleSonars& sonars) {
                         ++lists;
                         std::set<std::uint32_t> serials;
                         for (const auto& item : sonars) {
                             serials.insert(item.first);
                         }
                         listsMissingOne += bothIn(serials) ? 0 : 1;
                     });
    std::vector<std::unique_ptr<QUdpSocket>> senders;
    for (int last = 10; last < 14; ++last) {
        senders.push_back(std::make_unique<QUdpSocket>());
        ASSERT_TRUE(senders.back()->bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(last)), 0));
    }
    std::mt19937 random(2026);
    int batchesMissingOne = 0;
    // About 5000 a second for 4 s.
    for (int batch = 0; batch < 80; ++batch) {
        const auto batchStart = std::chrono::steady_clock::now();
        for (int i = 0; i < 250; ++i) {
            const auto bytes = Keldar::Sim::madeUpStatusDatagram(static_cast<std::uint32_t>(random()) | 1U,
                                                                 static_cast<std::uint32_t>(random()) | 1U);
            senders[static_cast<std::size_t>(i) % senders.size()]->writeDatagram(
                reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()), QHostAddress::LocalHost,
                viewer.network.statusPort);
        }
        QCoreApplication::processEvents();
        batchesMissingOne += bothIn(shown()) ? 0 : 1;
        std::this_thread::sleep_until(batchStart + std::chrono::milliseconds(50));
    }
    EXPECT_GT(lists, 0) << "the flood never reached the list";
    EXPECT_EQ(listsMissingOne, 0);
    EXPECT_EQ(batchesMissingOne, 0);
    EXPECT_TRUE(viewer.controller->isConnected());

    // The list says how many it ignored (newcomers pushed out or refused).
    const QRegularExpression line(QStringLiteral("^(\\d+) foreign status datagrams ignored$"));
    EXPECT_TRUE(waitFor([&] {
        const auto match = line.match(ignoredLabel->text());
        return match.hasMatch() && match.captured(1).toULongLong() >= 1000 && !ignoredLabel->isHidden();
    })) << ignoredLabel->text().toStdString();
}
