#include <keldar/ondrix/ConnectionError.h>
#include <keldar/ondrix/MainSocketThread.h>
#include <keldar/ondrix/MessageParsing.h>
#include <keldar/ondrix/StatusSocketThread.h>
#include <keldar/sim/LoopbackPort.h>
#include <keldar/sim/SimulatedSonar.h>
#include <keldar/sim/SimulatorCommands.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <sstream>
#include <thread>

using Keldar::Ondrix::MainSocketThread;
using Keldar::Ondrix::OperationParameters;
using Keldar::Sim::SimulatedSonar;
using Keldar::Sim::SimulatedSonarConfig;
using namespace std::chrono_literals;

namespace {

std::uint16_t freeUdpPort()
{
    return Keldar::Sim::freeLoopbackPort(SOCK_DGRAM);
}

SimulatedSonarConfig loopbackConfig()
{
    SimulatedSonarConfig config;
    config.tcpPort = 0;
    config.statusPort = freeUdpPort();
    config.statusInterval = 50ms;
    config.rangeLines = 40;
    return config;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(5ms);
    }
    return condition();
}

// A session to the simulator through the library's own client.
struct Client
{
    std::mutex mutex;
    OperationParameters parameters;
    std::atomic<int> results{0};
    std::vector<std::vector<std::byte>> messages;
    std::unique_ptr<MainSocketThread> session;

    Client(const SimulatedSonar& sim, bool onDemand)
    {
        session = std::make_unique<MainSocketThread>(
            MainSocketThread::Endpoint{"127.0.0.2", sim.serialNumber(), sim.tcpPort(), 2100ms}, [this] {
                std::lock_guard lock(mutex);
                return parameters;
            });
        auto record = [this](const std::vector<std::byte>& m) {
            std::lock_guard lock(mutex);
            messages.push_back(m);
            ++results;
        };
        session->pingResultReceived.connect(record);
        session->pingResultV2Received.connect(record);
        session->setOnDemand(onDemand);
        session->startDispatching();
    }
};

} // namespace

TEST(SimulatorSafety, RefusesAddressesOutsideLoopback)
{
    auto config = loopbackConfig();
    config.address = "192.168.1.20";
    EXPECT_THROW(SimulatedSonar{config}, std::invalid_argument);
    config = loopbackConfig();
    config.statusDestination = "255.255.255.255";
    EXPECT_THROW(SimulatedSonar{config}, std::invalid_argument);
    config = loopbackConfig();
    config.statusDestination = "10.0.0.1";
    EXPECT_THROW(SimulatedSonar{config}, std::invalid_argument);
    EXPECT_TRUE(SimulatedSonar::isLoopback("127.12.0.9"));
    EXPECT_FALSE(SimulatedSonar::isLoopback("128.0.0.1"));
    EXPECT_FALSE(SimulatedSonar::isLoopback("localhost"));
}

TEST(SimulatorStatus, BroadcastsItsIdentityAndFlags)
{
    auto config = loopbackConfig();
    config.serialNumber = 5150;
    config.partNumber = 2420;
    config.firmwareVersion = 99;
    config.status.overheated = true;
    config.status.transmitFailure = true;
    std::mutex mutex;
    std::vector<Keldar::Ondrix::StatusFields> seen;
    Keldar::Ondrix::Status::StatusSocketThread listener("127.0.0.1", config.statusPort, 100ms);
    listener.statusReceived.connect([&](Keldar::Ondrix::Status::Message m) {
        std::lock_guard lock(mutex);
        seen.push_back(m.fields());
    });
    listener.start();
    SimulatedSonar sim(config);
    sim.start();
    ASSERT_TRUE(waitUntil(
        [&] {
            std::lock_guard lock(mutex);
            return seen.size() >= 3;
        },
        3000ms));
    std::lock_guard lock(mutex);
    const auto f = seen.back();
    EXPECT_EQ(f.serialNumber, 5150U);
    EXPECT_EQ(static_cast<unsigned>(f.partNumber), 2420U);
    EXPECT_EQ(f.firmwareVersion, 99);
    EXPECT_EQ((f.statusWord >> 14U) & 3U, 3U);
    EXPECT_NE(f.statusWord & (1U << 16U), 0U);
    EXPECT_EQ(f.connectionRefusal, 0U);
    EXPECT_EQ(f.ipAddress, 0x0200007FU); // 127.0.0.2, first octet in the low byte
    EXPECT_GT(f.internalTemperature, 60.0);
}

TEST(SimulatorStatus, PauseStopsTheBroadcastForItsDuration)
{
    auto config = loopbackConfig();
    SimulatedSonar sim(config);
    sim.start();
    ASSERT_TRUE(waitUntil([&] { return sim.counters().statusDatagramsSent >= 2; }, 2000ms));
    // Long enough that a loaded machine still looks again inside the pause.
    sim.pauseStatus(1500ms);
    // Once one turn is withheld no send is under way; three more turns of
    // the status clock then pass without a datagram.
    ASSERT_TRUE(waitUntil([&] { return sim.counters().statusDatagramsWithheld >= 1; }, 2000ms));
    const auto during = sim.counters().statusDatagramsSent;
    ASSERT_TRUE(waitUntil([&] { return sim.counters().statusDatagramsWithheld >= 4; }, 2000ms));
    EXPECT_EQ(sim.counters().statusDatagramsSent, during);
    EXPECT_TRUE(waitUntil([&] { return sim.counters().statusDatagramsSent > during; }, 2000ms));
}

TEST(SimulatorPings, FollowsThePingRateUnlessToldToIgnoreIt)
{
    auto config = loopbackConfig();
    SimulatedSonar sim(config);
    sim.start();
    Client client(sim, false);
    {
        std::lock_guard lock(client.mutex);
        client.parameters.pingRate = Keldar::Ondrix::PingRate::Rate2Hz;
    }
    const auto start = std::chrono::steady_clock::now();
    client.session->sendFire();
    // 2 Hz: the first ping at once, then one every 0.5 s, so not the third
    // before a second has passed.
    ASSERT_TRUE(waitUntil([&] { return client.results.load() >= 3; }, 5000ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 950ms);

    // Unpaced, twenty more arrive long before they would at 2 Hz (10 s).
    sim.setIgnorePacing(true);
    const int before = client.results.load();
    EXPECT_TRUE(waitUntil([&] { return client.results.load() - before > 20; }, 5000ms));
}

TEST(SimulatorPings, ResultsFollowTheRequest)
{
    auto config = loopbackConfig();
    config.partNumber = 1042; // Sevanth A: 1200 and 2100 kHz
    SimulatedSonar sim(config);
    sim.start();
    Client client(sim, true);
    {
        std::lock_guard lock(client.mutex);
        client.parameters.range = 7.5;
        client.parameters.gain = 31.0;
        client.parameters.frequency = Keldar::Ondrix::Frequency::High;
        client.parameters.fullBeams = true;
        client.parameters.gamma = 201;
        client.parameters.gainAssist = true;
        client.parameters.gainBoost = false;
        client.parameters.pingRate = Keldar::Ondrix::PingRate::Rate40Hz;
    }
    client.session->sendFire();
    ASSERT_TRUE(waitUntil([&] { return client.results.load() == 1; }, 3000ms));
    std::lock_guard lock(client.mutex);
    const auto parsed = Keldar::Ondrix::MessageParsing::parseSimplePingResultV2(client.messages[0]);
    EXPECT_EQ(parsed.image.getWidth(), 512);
    EXPECT_EQ(parsed.image.getHeight(), 40);
    EXPECT_DOUBLE_EQ(parsed.image.getRange(), 7.5);
    EXPECT_DOUBLE_EQ(parsed.image.getGain(), 31.0);
    EXPECT_DOUBLE_EQ(parsed.image.getFrequency(), 2100000.0);
    EXPECT_EQ(Keldar::Ondrix::MessageParsing::getSerialNumber(client.messages[0]),
              static_cast<std::uint16_t>(sim.serialNumber() & 0xFFFFU));

    // What tests of the viewer read back: the request as the sonar decoded it.
    const auto fire = sim.lastFireParameters();
    ASSERT_TRUE(fire.has_value());
    EXPECT_DOUBLE_EQ(fire->range, 7.5);
    EXPECT_DOUBLE_EQ(fire->gain, 31.0);
    EXPECT_EQ(fire->frequency, 2);
    EXPECT_EQ(fire->gamma, 201);
    EXPECT_TRUE(fire->gainAssist);
    EXPECT_FALSE(fire->gainBoost);
    EXPECT_TRUE(fire->fullBeams);
    EXPECT_EQ(fire->pingRate, 2);
    EXPECT_TRUE(fire->onDemand);
    EXPECT_THROW((void)SimulatedSonar::decodeFireRequest(std::vector<std::byte>(20)), std::invalid_argument);
}

TEST(SimulatorNetworkConfig, TakesOnlyLoopbackAddressesAndRefusesWhenTold)
{
    auto config = loopbackConfig();
    SimulatedSonar sim(config);
    sim.start();
    Client client(sim, true);
    // 10.1.2.3 as the user configuration carries it (first octet high).
    client.session->sendUserConfig(false, 0x0A010203U, 0xFFFFFF00U);
    ASSERT_TRUE(waitUntil([&] { return sim.counters().userConfigsApplied == 1; }, 2000ms));
    EXPECT_EQ(sim.networkConfig().address, "127.0.0.2");
    client.session->sendUserConfig(false, 0x7F000009U, 0xFFFF0000U);
    ASSERT_TRUE(waitUntil([&] { return sim.counters().userConfigsApplied == 2; }, 2000ms));
    EXPECT_EQ(sim.networkConfig().address, "127.0.0.9");
    EXPECT_EQ(sim.networkConfig().subnetMask, "255.255.0.0");

    // Refusing: answered with the configuration as it was.
    sim.setRefuseNetworkChanges(true);
    client.session->sendUserConfig(true, 0x7F00000AU, 0xFFFF0000U);
    ASSERT_TRUE(waitUntil([&] { return sim.counters().userConfigsRefused == 1; }, 2000ms));
    EXPECT_FALSE(sim.networkConfig().dhcp);
    EXPECT_EQ(sim.networkConfig().address, "127.0.0.9");
}

TEST(SimulatorNetworkConfig, LeftUnansweredWhileIgnoring)
{
    auto config = loopbackConfig();
    SimulatedSonar sim(config);
    sim.start();
    Client client(sim, true);
    std::atomic<int> replies{0};
    client.session->userConfigReceived.connect([&](const std::vector<std::byte>&) { ++replies; });
    sim.setIgnoreNetworkConfig(true);
    client.session->sendUserConfig(false, 0x7F000009U, 0xFFFF0000U);
    ASSERT_TRUE(waitUntil([&] { return sim.counters().userConfigsIgnored == 1; }, 2000ms));
    EXPECT_EQ(sim.counters().userConfigsApplied, 0U);
    EXPECT_EQ(sim.networkConfig().address, "127.0.0.2");

    // Answered again once told to: the reply to this one is the first to arrive.
    sim.setIgnoreNetworkConfig(false);
    client.session->sendUserConfig(false, 0x7F000009U, 0xFFFF0000U);
    ASSERT_TRUE(waitUntil([&] { return replies.load() == 1; }, 2000ms));
    EXPECT_EQ(sim.networkConfig().address, "127.0.0.9");
    EXPECT_EQ(sim.counters().userConfigsIgnored, 1U);
}

TEST(SimulatorCommands, ChangeStatusAndFaultsWhileRunning)
{
    auto config = loopbackConfig();
    SimulatedSonar first(config);
    config.serialNumber += 1;
    SimulatedSonar second(config);
    const std::vector<SimulatedSonar*> sonars{&first, &second};
    std::ostringstream out;
    using Keldar::Sim::CommandOutcome;
    using Keldar::Sim::runCommand;

    EXPECT_EQ(runCommand("overheat on", sonars, out), CommandOutcome::Done);
    EXPECT_EQ(runCommand("refuse", sonars, out), CommandOutcome::Done);
    EXPECT_EQ(runCommand("brownout", sonars, out), CommandOutcome::Done);
    for (const SimulatedSonar* sonar : sonars) {
        EXPECT_TRUE(sonar->getStatus().overheated);
        EXPECT_TRUE(sonar->getStatus().refuseConnections);
        EXPECT_TRUE(sonar->getStatus().brownoutPause);
        EXPECT_FALSE(sonar->getStatus().overheatWarning);
    }
    EXPECT_EQ(runCommand("refuse off", sonars, out), CommandOutcome::Done);
    EXPECT_FALSE(second.getStatus().refuseConnections);
    EXPECT_TRUE(second.getStatus().overheated);

    // Malformed commands change nothing and say so.
    for (const char* bad : {"overheat maybe", "silence", "silence -3", "silence 2 3", "drop now", "fly"}) {
        out.str({});
        EXPECT_EQ(runCommand(bad, sonars, out), CommandOutcome::Unknown) << bad;
        EXPECT_NE(out.str().find("unknown command"), std::string::npos) << bad;
    }
    EXPECT_TRUE(first.getStatus().overheated);

    out.str({});
    EXPECT_EQ(runCommand("help", sonars, out), CommandOutcome::Done);
    for (const char* listed : {"overheat", "brownout", "silence", "refuse", "netsilent", "status", "quit"}) {
        EXPECT_NE(out.str().find(listed), std::string::npos) << listed;
    }
    EXPECT_EQ(runCommand("", sonars, out), CommandOutcome::Done);
    EXPECT_EQ(runCommand("quit", sonars, out), CommandOutcome::Quit);
}

TEST(SimulatorCommands, NetsilentAndStatusOnTheRunningSonar)
{
    auto config = loopbackConfig();
    SimulatedSonar sim(config);
    sim.start();
    const std::vector<SimulatedSonar*> sonars{&sim};
    std::ostringstream out;
    Client client(sim, true);
    ASSERT_EQ(Keldar::Sim::runCommand("netsilent on", sonars, out), Keldar::Sim::CommandOutcome::Done);
    client.session->sendUserConfig(false, 0x7F000009U, 0xFFFF0000U);
    ASSERT_TRUE(waitUntil([&] { return sim.counters().userConfigsIgnored == 1; }, 2000ms));
    client.session->sendFire();
    ASSERT_TRUE(waitUntil([&] { return sim.lastFireParameters().has_value(); }, 2000ms));
    out.str({});
    ASSERT_EQ(Keldar::Sim::runCommand("status", sonars, out), Keldar::Sim::CommandOutcome::Done);
    EXPECT_NE(out.str().find("last fire: range"), std::string::npos) << out.str();
}

TEST(SimulatorFaults, RefusingClosesThePortAndDropsTheSession)
{
    auto config = loopbackConfig();
    SimulatedSonar sim(config);
    sim.start();
    Client client(sim, true);
    ASSERT_TRUE(waitUntil([&] { return sim.hasClient(); }, 2000ms));
    auto status = sim.getStatus();
    status.refuseConnections = true;
    sim.setStatus(status);
    EXPECT_TRUE(waitUntil([&] { return !client.session->isAlive(); }, 2000ms));
    EXPECT_THROW(MainSocketThread({"127.0.0.2", 1, sim.tcpPort(), 300ms}, [] { return OperationParameters{}; }),
                 Keldar::Ondrix::ConnectionError);
}
