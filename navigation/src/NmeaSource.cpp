#include <keldar/navigation/NmeaSource.h>

#include <utility> // before Asio, whose awaitable.hpp uses std::exchange without it

#include <boost/asio.hpp>
#include <boost/asio/serial_port.hpp>

#include <array>
#include <charconv>
#include <chrono>
#include <mutex>
#include <thread>

namespace Keldar::Navigation {

namespace {

namespace asio = boost::asio;
using asio::ip::tcp;
using asio::ip::udp;

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

template<typename T>
T parseNumber(const std::string& text, const char* what, T lowest, T highest)
{
    T value{};
    const auto [at, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || at != text.data() + text.size() || value < lowest || value > highest) {
        throw std::invalid_argument(std::string("not a ") + what + ": \"" + text + "\"");
    }
    return value;
}

// Splits a byte stream into lines; an over-long line is dropped whole, so
// that a flood without line ends never grows the buffer.
class LineAssembler
{
public:
    static constexpr std::size_t longest = 256;

    template<typename Callback>
    void feed(const char* data, std::size_t size, const Callback& line)
    {
        for (std::size_t i = 0; i < size; ++i) {
            const char c = data[i];
            if (c == '\n' || c == '\r') {
                if (!overflow_ && !buffer_.empty()) {
                    line(buffer_);
                }
                buffer_.clear();
                overflow_ = false;
            } else if (buffer_.size() < longest) {
                buffer_.push_back(c);
            } else {
                overflow_ = true;
            }
        }
    }

    void reset()
    {
        buffer_.clear();
        overflow_ = false;
    }

private:
    std::string buffer_;
    bool overflow_ = false;
};

} // namespace

NmeaEndpoint NmeaEndpoint::parse(const std::string& text)
{
    NmeaEndpoint endpoint;
    const auto colon = text.find(':');
    const std::string kind = text.substr(0, colon);
    const std::string rest = colon == std::string::npos ? "" : text.substr(colon + 1);
    const auto last = rest.rfind(':');
    if (kind == "udp") {
        endpoint.kind = Kind::Udp;
        if (last != std::string::npos) {
            endpoint.host = rest.substr(0, last);
        }
        endpoint.port = rest.empty()
                            ? 10110
                            : parseNumber<std::uint16_t>(last == std::string::npos ? rest : rest.substr(last + 1),
                                                         "UDP port", 0, 65535);
    } else if (kind == "tcp") {
        endpoint.kind = Kind::Tcp;
        if (last == std::string::npos || last == 0) {
            throw std::invalid_argument("tcp needs HOST:PORT, as in tcp:127.0.0.1:10110");
        }
        endpoint.host = rest.substr(0, last);
        endpoint.port = parseNumber<std::uint16_t>(rest.substr(last + 1), "TCP port", 1, 65535);
    } else if (kind == "serial") {
        endpoint.kind = Kind::Serial;
        if (last == std::string::npos || last == 0) {
            throw std::invalid_argument("serial needs PATH:BAUD, as in serial:/dev/ttyUSB0:4800");
        }
        endpoint.device = rest.substr(0, last);
        endpoint.baud = parseNumber<unsigned>(rest.substr(last + 1), "baud rate", 300, 921600);
    } else {
        throw std::invalid_argument("navigation input \"" + text +
                                    "\" is none of udp:PORT, tcp:HOST:PORT, serial:PATH:BAUD");
    }
    return endpoint;
}

std::string NmeaEndpoint::describe() const
{
    switch (kind) {
    case Kind::Udp:
        return "udp:" + (host.empty() ? "" : host + ":") + std::to_string(port);
    case Kind::Tcp:
        return "tcp:" + host + ":" + std::to_string(port);
    case Kind::Serial:
        return "serial:" + device + ":" + std::to_string(baud);
    }
    return {};
}

struct NmeaSource::Impl
{
    NmeaEndpoint endpoint;
    LineCallback callback;
    asio::io_context io;
    udp::socket udpSocket{io};
    tcp::socket tcpSocket{io};
    asio::serial_port serial{io};
    asio::steady_timer retry{io};
    std::array<char, 2048> buffer{};
    udp::endpoint sender;
    LineAssembler lines;
    std::thread thread;
    std::uint16_t bound = 0;

    void deliver(const char* data, std::size_t size)
    {
        const auto received = nowMs();
        lines.feed(data, size, [&](const std::string& line) { callback(line, received); });
    }

    void receiveDatagram()
    {
        udpSocket.async_receive_from(asio::buffer(buffer), sender,
                                     [this](boost::system::error_code error, std::size_t n) {
                                         if (error == asio::error::operation_aborted) {
                                             return;
                                         }
                                         if (!error) {
                                             // A datagram holds whole sentences: a missing line end ends it.
                                             deliver(buffer.data(), n);
                                             deliver("\n", 1);
                                         }
                                         receiveDatagram();
                                     });
    }

    void retryLater()
    {
        lines.reset();
        retry.expires_after(std::chrono::seconds(1));
        retry.async_wait([this](boost::system::error_code error) {
            if (!error) {
                open();
            }
        });
    }

    template<typename Stream>
    void readStream(Stream& stream)
    {
        stream.async_read_some(asio::buffer(buffer), [this, &stream](boost::system::error_code error, std::size_t n) {
            if (error == asio::error::operation_aborted) {
                return;
            }
            if (error) {
                boost::system::error_code ignored;
                stream.close(ignored);
                retryLater();
                return;
            }
            deliver(buffer.data(), n);
            readStream(stream);
        });
    }

    void open()
    {
        if (endpoint.kind == NmeaEndpoint::Kind::Tcp) {
            boost::system::error_code error;
            tcp::resolver resolver(io);
            const auto results = resolver.resolve(endpoint.host, std::to_string(endpoint.port), error);
            if (error) {
                retryLater();
                return;
            }
            asio::async_connect(tcpSocket, results,
                                [this](boost::system::error_code connectError, const tcp::endpoint&) {
                                    if (connectError == asio::error::operation_aborted) {
                                        return;
                                    }
                                    if (connectError) {
                                        retryLater();
                                        return;
                                    }
                                    readStream(tcpSocket);
                                });
        } else if (endpoint.kind == NmeaEndpoint::Kind::Serial) {
            boost::system::error_code error;
            serial.open(endpoint.device, error);
            if (!error) {
                serial.set_option(asio::serial_port::baud_rate(endpoint.baud), error);
            }
            if (error) {
                serial.close(error);
                retryLater();
                return;
            }
            readStream(serial);
        }
    }
};

NmeaSource::NmeaSource(NmeaEndpoint endpoint, LineCallback callback)
    : impl_(std::make_unique<Impl>())
{
    impl_->endpoint = std::move(endpoint);
    impl_->callback = std::move(callback);
}

NmeaSource::~NmeaSource()
{
    stop();
}

void NmeaSource::start()
{
    if (impl_->thread.joinable()) {
        return;
    }
    if (impl_->endpoint.kind == NmeaEndpoint::Kind::Udp) {
        const auto address = impl_->endpoint.host.empty() ? asio::ip::address_v4::any()
                                                          : asio::ip::make_address_v4(impl_->endpoint.host);
        boost::system::error_code error;
        impl_->udpSocket.open(udp::v4(), error);
        if (!error) {
            impl_->udpSocket.set_option(asio::socket_base::reuse_address(true), error);
            impl_->udpSocket.bind(udp::endpoint(address, impl_->endpoint.port), error);
        }
        if (error) {
            throw std::runtime_error("cannot listen for NMEA on " + impl_->endpoint.describe() + ": " +
                                     error.message());
        }
        impl_->bound = impl_->udpSocket.local_endpoint().port();
        impl_->receiveDatagram();
    } else {
        impl_->open();
    }
    impl_->thread = std::thread([this] { impl_->io.run(); });
}

void NmeaSource::stop()
{
    if (!impl_->thread.joinable()) {
        return;
    }
    impl_->io.stop();
    impl_->thread.join();
}

std::uint16_t NmeaSource::boundPort() const
{
    return impl_->bound;
}

} // namespace Keldar::Navigation
