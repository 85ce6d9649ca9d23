#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>

namespace Keldar::Sim {

// A port the system considers free right now on 127.0.0.1, for `type`
// (SOCK_DGRAM or SOCK_STREAM), so simulated sonars and their listeners in tests
// and benchmarks never collide with each other or with a real installation.
inline std::uint16_t freeLoopbackPort(int type)
{
    const int fd = ::socket(AF_INET, type, 0);
    if (fd < 0) {
        throw std::runtime_error("no socket for a free port");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        throw std::runtime_error("no free port");
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace Keldar::Sim
