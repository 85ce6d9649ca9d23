// The real viewer, streaming from a sonar, under a flood of status datagrams
// that carry the right magic and garbage or made-up serial numbers, from
// several senders: its memory stays flat, the sonar's images keep coming, and
// a SIGTERM still ends it within 2 s.

#include "support/ViewerTestSupport.h"

#include <keldar/ondrix/MessageBuilding.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <vector>

using namespace Keldar::OndrixLumivane::Testing;

namespace {

// A "Vm..." line of /proc/PID/status, in kB; -1 when it cannot be read.
long long memoryKb(qint64 pid, const char* field)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size()).simplified().split(' ').front().toLongLong();
        }
    }
    return -1;
}

// Three kinds in turn: random bytes behind the magic; a status datagram from a
// random serial number whose header claims 0xFFFFFFF0 bytes of payload; and a
// well-formed one from a random serial number and address, which only a
// bounded table survives.
QByteArray garbage(std::mt19937& random, std::size_t index)
{
    Keldar::Ondrix::StatusFields fields;
    fields.serialNumber = static_cast<std::uint32_t>(random()) | 1U;
    fields.partNumber = static_cast<Keldar::Ondrix::ModelNumber>(random() & 0xFFFFU);
    fields.ipAddress = static_cast<std::uint32_t>(random()) | 1U;
    const auto status = Keldar::Ondrix::MessageBuilding::buildStatusDatagram(fields);
    QByteArray bytes(reinterpret_cast<const char*>(status.data()), static_cast<int>(status.size()));
    switch (index % 3) {
    case 0:
        for (int i = 2; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>(random());
        }
        break;
    case 1: {
        const std::uint32_t huge = 0xFFFFFFF0U;
        std::memcpy(bytes.data() + 10, &huge, sizeof huge);
        break;
    }
    default:
        break;
    }
    return bytes;
}

} // namespace

TEST(StatusFlood, ViewerStaysSmallKeepsStreamingAndEndsOnSigterm)
{
    TemporarySettings folder;
    LoopbackNetwork network;
    constexpr std::uint32_t serial = 40061;
    auto sonar = network.startSonar(serial);

    QProcess viewer;
    startViewerProgram(viewer, LUMIVANE_EXECUTABLE, folder.path(), network, serial);
    ASSERT_TRUE(viewer.waitForStarted());
    const qint64 pid = viewer.processId();
    // The viewer asks for the next image only once it has the last one.
    ASSERT_TRUE(waitFor([&] { return sonar->counters().fireRequests > 20; }, std::chrono::seconds(60)));
    const long long peakBefore = memoryKb(pid, "VmHWM");
    ASSERT_GT(peakBefore, 0);

    // About 5000 a second for 5 s, from four senders.
    std::vector<std::unique_ptr<QUdpSocket>> sockets;
    for (int last = 10; last < 14; ++last) {
        sockets.push_back(std::make_unique<QUdpSocket>());
        ASSERT_TRUE(sockets.back()->bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(last)), 0));
    }
    std::mt19937 random(12345);
    constexpr std::size_t perBatch = 250;
    constexpr int batches = 100;
    const auto requestsBefore = sonar->counters().fireRequests;
    std::size_t sent = 0;
    for (int batch = 0; batch < batches; ++batch) {
        const auto batchStart = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < perBatch; ++i, ++sent) {
            const QByteArray bytes = garbage(random, sent);
            sockets[sent % sockets.size()]->writeDatagram(bytes, QHostAddress::LocalHost, network.statusPort);
        }
        std::this_thread::sleep_until(batchStart + std::chrono::milliseconds(50));
    }
    const auto requestsDuring = sonar->counters().fireRequests - requestsBefore;
    EXPECT_GT(requestsDuring, 10U) << "images stopped during the flood";
    const auto requestsAfter = sonar->counters().fireRequests;
    EXPECT_TRUE(waitFor([&] { return sonar->counters().fireRequests > requestsAfter + 10; }))
        << "images stopped after the flood";

    const long long peakAfter = memoryKb(pid, "VmHWM");
    std::printf("viewer peak memory %lld kB before the flood of %zu datagrams, %lld kB after (now %lld kB); "
                "%zu images requested during it\n",
                peakBefore, sent, peakAfter, memoryKb(pid, "VmRSS"), requestsDuring);
    EXPECT_LT(peakAfter - peakBefore, 50 * 1024);

    // The exit must come within 2 s of the signal: a user's or a service
    // manager's stop. The wait itself is longer, so that a late exit is
    // measured and reported rather than cut short.
    QElapsedTimer clock; // monotonic
    clock.start();
    ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGTERM), 0);
    const bool ended = viewer.waitForFinished(30000);
    const qint64 exitMs = clock.elapsed();
    std::printf("viewer ended %lld ms after SIGTERM\n", static_cast<long long>(exitMs));
    ASSERT_TRUE(ended);
    EXPECT_LT(exitMs, 2000) << "the viewer took longer than 2 s to end after SIGTERM";
    EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(viewer.exitCode(), 0);
}
