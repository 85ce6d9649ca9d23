#include <keldar/ondrix/MessageType.h>
#include <keldar/ondrix/ProtocolLayout.h>
#include <keldar/ondrix/StatusMessage.h>

#include "ByteIo.h"

#include <algorithm>

namespace Keldar::Ondrix::Status {

Message::Message(std::span<const std::byte> datagram, std::uint32_t sender)
    : m_sender(sender)
{
    std::copy_n(datagram.begin(), std::min(datagram.size(), size), m_bytes.begin());
}

bool Message::isFromASonar(std::span<const std::byte> datagram)
{
    namespace H = ProtocolLayout::Header;
    if (datagram.size() < H::size) {
        return false;
    }
    const std::byte* p = datagram.data();
    if (ByteIo::readU16(p + H::magic) != H::magicValue ||
        std::uint64_t{ByteIo::readU32(p + H::payloadSize)} + H::size != datagram.size()) {
        return false;
    }
    // The ids of the session's messages; a status datagram carries none of them.
    switch (ByteIo::readU16(p + H::messageId)) {
    case static_cast<std::uint16_t>(MessageType::SimpleFire):
    case static_cast<std::uint16_t>(MessageType::FullFireResult):
    case static_cast<std::uint16_t>(MessageType::SimplePingResult):
    case static_cast<std::uint16_t>(MessageType::UserConfig):
    case 0x80:
        return false;
    default:
        break;
    }
    const StatusFields fields = Message(datagram).fields();
    return fields.serialNumber != 0 && fields.ipAddress != 0;
}

bool Message::hasValidMagic() const
{
    return ByteIo::readU16(m_bytes.data() + ProtocolLayout::Header::magic) == ProtocolLayout::Header::magicValue;
}

StatusFields Message::fields() const
{
    namespace L = ProtocolLayout::Status;
    using namespace ByteIo;
    const std::byte* p = m_bytes.data();
    StatusFields f;
    f.serialNumber = readU32(p + L::serialNumber);
    f.partNumber = static_cast<ModelNumber>(readU16(p + L::partNumber));
    f.statusWord = readU32(p + L::statusWord);
    f.firmwareVersion = readU16(p + L::firmwareVersion);
    f.ipAddress = readU32(p + L::ipAddress);
    f.subnetMask = readU32(p + L::subnetMask);
    f.connectionRefusal = readU32(p + L::connectionRefusal);
    f.internalTemperature = readF64(p + L::internalTemperature);
    f.waterTemperature = readF64(p + L::waterTemperature);
    f.pressure = readF64(p + L::pressure);
    return f;
}

} // namespace Keldar::Ondrix::Status
