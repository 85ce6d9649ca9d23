#pragma once

// Helpers shared by the loopback tests: free ports, waiting for conditions
// without fixed sleeps, and a thread-safe record of signal emissions.

#include <keldar/sim/LoopbackPort.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace NetTest {

using namespace std::chrono_literals;

// A port the system considers free right now, for `type` (SOCK_DGRAM or
// SOCK_STREAM) on 127.0.0.1.
inline std::uint16_t freePort(int type)
{
    return Keldar::Sim::freeLoopbackPort(type);
}

inline std::uint16_t freeUdpPort()
{
    return freePort(SOCK_DGRAM);
}

// Polls `condition` every few milliseconds until it holds or `timeout` passes.
// The limit of a wait for something that must happen: generous, so that a
// loaded machine only makes the test slower.
inline constexpr std::chrono::milliseconds generousWait{30000};

inline bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
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

// Records values emitted on another thread.
template<typename T>
class Recorder
{
public:
    void add(T value)
    {
        std::lock_guard lock(m_mutex);
        m_values.push_back(std::move(value));
    }
    std::vector<T> values() const
    {
        std::lock_guard lock(m_mutex);
        return m_values;
    }
    std::size_t size() const
    {
        std::lock_guard lock(m_mutex);
        return m_values.size();
    }
    bool waitForSize(std::size_t n, std::chrono::milliseconds timeout) const
    {
        return waitUntil([&] { return size() >= n; }, timeout);
    }

private:
    mutable std::mutex m_mutex;
    std::vector<T> m_values;
};

// Sends raw datagrams to 127.0.0.1:port, from `from` (a loopback address)
// when given.
class DatagramSender
{
public:
    explicit DatagramSender(std::uint16_t port, const char* from = nullptr)
        : m_fd(::socket(AF_INET, SOCK_DGRAM, 0))
    {
        if (from != nullptr) {
            sockaddr_in source{};
            source.sin_family = AF_INET;
            ::inet_pton(AF_INET, from, &source.sin_addr);
            m_bound = ::bind(m_fd, reinterpret_cast<const sockaddr*>(&source), sizeof source) == 0;
        }
        m_destination.sin_family = AF_INET;
        m_destination.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_destination.sin_port = htons(port);
    }
    ~DatagramSender() { ::close(m_fd); }
    [[nodiscard]] bool bound() const { return m_bound; }
    DatagramSender(const DatagramSender&) = delete;
    DatagramSender& operator=(const DatagramSender&) = delete;

    template<typename Bytes>
    void send(const Bytes& bytes) const
    {
        ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&m_destination),
                 sizeof m_destination);
    }

private:
    int m_fd;
    bool m_bound = true;
    sockaddr_in m_destination{};
};

} // namespace NetTest
