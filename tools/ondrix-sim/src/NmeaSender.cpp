#include <keldar/sim/NmeaSender.h>

#include <keldar/navigation/NmeaSource.h>

#include <utility> // before Asio, whose awaitable.hpp uses std::exchange without it

#include <boost/asio.hpp>

#include <chrono>
#include <stdexcept>

namespace Keldar::Sim {

namespace {

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

NmeaSender::NmeaSender(const std::string& endpoint, Navigation::NmeaTrackSimulator::Settings track)
    : track_([&] {
        track.startMs = nowMs();
        return track;
    }())
{
    const auto parsed = Navigation::NmeaEndpoint::parse(endpoint);
    if (parsed.kind != Navigation::NmeaEndpoint::Kind::Udp) {
        throw std::invalid_argument("the simulator sends NMEA over UDP only (udp:127.0.0.1:10110)");
    }
    address_ = parsed.host.empty() ? "127.0.0.1" : parsed.host;
    port_ = parsed.port;
    boost::system::error_code error;
    const auto address = boost::asio::ip::make_address_v4(address_, error);
    if (error || (address.to_uint() >> 24) != 127) {
        throw std::invalid_argument("NMEA goes to a loopback address (127.x.x.x), not " + address_);
    }
}

NmeaSender::~NmeaSender()
{
    stop();
}

void NmeaSender::start()
{
    if (!thread_.joinable()) {
        stopping_ = false;
        thread_ = std::thread([this] { run(); });
    }
}

void NmeaSender::stop()
{
    stopping_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

void NmeaSender::run()
{
    boost::asio::io_context io;
    boost::asio::ip::udp::socket socket(io, boost::asio::ip::udp::v4());
    const boost::asio::ip::udp::endpoint to(boost::asio::ip::make_address_v4(address_), port_);
    auto next = std::chrono::steady_clock::now();
    while (!stopping_.load()) {
        std::string datagram;
        for (const auto& sentence : track_.sentencesAt(nowMs())) {
            datagram += sentence;
        }
        boost::system::error_code error;
        // Nobody listening is no reason to stop: the viewer may start later.
        socket.send_to(boost::asio::buffer(datagram), to, 0, error);
        if (!error) {
            ++sent_;
        }
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
    }
}

} // namespace Keldar::Sim
