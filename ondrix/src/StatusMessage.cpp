#include <keldar/ondrix/ProtocolLayout.h>
#include <keldar/ondrix/StatusMessage.h>

#include "ByteIo.h"

#include <algorithm>

namespace Keldar::Ondrix::Status {

Message::Message(std::span<const std::byte> datagram)
{
    std::copy_n(datagram.begin(), std::min(datagram.size(), size), m_bytes.begin());
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
