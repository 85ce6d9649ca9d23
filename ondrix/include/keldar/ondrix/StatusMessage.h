#pragma once

#include <keldar/ondrix/StatusFields.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace Keldar::Ondrix::Status {

/// One status datagram as received: its first 142 bytes, zero-filled when the
/// datagram was shorter. Copied whole to every listener.
class Message
{
public:
    static constexpr std::size_t size = 142;

    Message() = default;
    /// Takes the first `size` bytes of `datagram`; missing bytes stay zero.
    /// `sender` is the IPv4 address (host order) it came from, 0 when unknown;
    /// it need not be the address the status claims.
    explicit Message(std::span<const std::byte> datagram, std::uint32_t sender = 0);

    /// Whether `datagram` can come from a sonar: the magic, a header that
    /// describes this very datagram (its payload size) and no other message
    /// of the protocol, a serial number and an address. Anything else is
    /// another program's traffic or garbage and must not be listed as a sonar.
    [[nodiscard]] static bool isFromASonar(std::span<const std::byte> datagram);

    [[nodiscard]] const std::array<std::byte, size>& bytes() const { return m_bytes; }
    [[nodiscard]] std::uint32_t senderAddress() const { return m_sender; }
    [[nodiscard]] bool hasValidMagic() const;
    /// The fields the host reads, in the sonar's own units (Celsius, bar).
    [[nodiscard]] StatusFields fields() const;

private:
    std::array<std::byte, size> m_bytes{};
    std::uint32_t m_sender = 0;
};

} // namespace Keldar::Ondrix::Status
