// The NMEA source's TCP client and serial device against real endpoints on
// this machine: a loopback listener that drops and comes back, and a
// pseudo-terminal standing in for a receiver on a serial line.

#include <keldar/navigation/NmeaSource.h>

#include <gtest/gtest.h>

#include <utility> // before Asio, whose awaitable.hpp uses std::exchange without it

#include <boost/asio.hpp>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace Keldar::Navigation;
namespace asio = boost::asio;
using asio::ip::tcp;

namespace {

// Lines as the source hands them over, from its thread.
class Received
{
public:
    NmeaSource::LineCallback callback()
    {
        return [this](const std::string& line, std::int64_t) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
            arrived.notify_all();
        };
    }

    bool waitFor(std::size_t count)
    {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, std::chrono::seconds(30), [&] { return lines.size() >= count; });
    }

    std::vector<std::string> all()
    {
        std::lock_guard lock(mutex);
        return lines;
    }

private:
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::string> lines;
};

// One connection accepted on `acceptor`, or none within the wait.
std::optional<tcp::socket> acceptOne(tcp::acceptor& acceptor)
{
    auto pending = std::async(std::launch::async, [&] { return acceptor.accept(); });
    if (pending.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        acceptor.close(); // ends the accept, so the future can be destroyed
        return std::nullopt;
    }
    return pending.get();
}

} // namespace

TEST(NmeaSourceTcp, ReadsLinesAndReconnectsAfterTheListenerDrops)
{
    asio::io_context io;
    auto acceptor = std::make_unique<tcp::acceptor>(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    const auto port = acceptor->local_endpoint().port();
    Received received;
    NmeaSource source(NmeaEndpoint::parse("tcp:127.0.0.1:" + std::to_string(port)), received.callback());
    source.start();

    auto first = acceptOne(*acceptor);
    ASSERT_TRUE(first) << "the source never connected";
    asio::write(*first, asio::buffer(std::string("$HEHDT,1.0,T*00\r\n$HEHDT,2.0,T*00\r\n$HEHDT,3")));
    ASSERT_TRUE(received.waitFor(2));

    // The listener goes away mid-sentence, then comes back on the same port:
    // the source connects again and the cut sentence is not glued to the next.
    first->close();
    acceptor.reset();
    acceptor = std::make_unique<tcp::acceptor>(io);
    acceptor->open(tcp::v4());
    acceptor->set_option(asio::socket_base::reuse_address(true));
    acceptor->bind(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
    acceptor->listen();
    auto second = acceptOne(*acceptor);
    ASSERT_TRUE(second) << "the source did not reconnect";
    asio::write(*second, asio::buffer(std::string(".0,T*00\r\n$HEHDT,4.0,T*00\r\n")));
    ASSERT_TRUE(received.waitFor(4)) << received.all().size();
    EXPECT_EQ(received.all(),
              (std::vector<std::string>{"$HEHDT,1.0,T*00", "$HEHDT,2.0,T*00", ".0,T*00", "$HEHDT,4.0,T*00"}));
}

TEST(NmeaSourceSerial, SetsTheBaudRateAndReadsTheDevice)
{
    int master = -1;
    int terminal = -1;
    ASSERT_EQ(openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
    const std::string device = ttyname(terminal);
    Received received;
    NmeaSource source(NmeaEndpoint::parse("serial:" + device + ":38400"), received.callback());
    source.start();

    // The receiver talks once the line is set up: the rate is on the device.
    termios settings{};
    ASSERT_EQ(tcgetattr(terminal, &settings), 0);
    EXPECT_EQ(cfgetispeed(&settings), B38400);
    EXPECT_EQ(cfgetospeed(&settings), B38400);
    const std::string text = "$GPGGA,120000.00,6000.0000,N,01042.0000,E,1,08,0.9,10.0,M,40.0,M,,*00\r\n"
                             "$HEHDT,45.0,T*00\r\n";
    ASSERT_EQ(write(master, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ASSERT_TRUE(received.waitFor(2)) << received.all().size();
    EXPECT_EQ(received.all(),
              (std::vector<std::string>{"$GPGGA,120000.00,6000.0000,N,01042.0000,E,1,08,0.9,10.0,M,40.0,M,,*00",
                                        "$HEHDT,45.0,T*00"}));
    source.stop();
    close(terminal);
    close(master);
}
