#include <keldar/ondrix/ProtocolLayout.h>
#include <keldar/ondrix/StatusMessage.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace Keldar::Ondrix::Status {

namespace {

template<typename T>
T readLittleEndian(const std::array<std::byte, Message::size>& bytes, std::size_t offset)
{
    static_assert(std::endian::native == std::endian::little, "the wire format is little-endian");
    T value{};
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

} // namespace

Message::Message(std::span<const std::byte> datagram)
{
    std::copy_n(datagram.begin(), std::min(datagram.size(), size), m_bytes.begin());
}

bool Message::hasValidMagic() const
{
    return readLittleEndian<std::uint16_t>(m_bytes, ProtocolLayout::Header::magic) ==
           ProtocolLayout::Header::magicValue;
}

StatusFields Message::fields() const
{
    namespace L = ProtocolLayout::Status;
    StatusFields f;
    f.serialNumber = readLittleEndian<std::uint32_t>(m_bytes, L::serialNumber);
    f.partNumber = static_cast<ModelNumber>(readLittleEndian<std::uint16_t>(m_bytes, L::partNumber));
    f.statusWord = readLittleEndian<std::uint32_t>(m_bytes, L::statusWord);
    f.firmwareVersion = readLittleEndian<std::uint16_t>(m_bytes, L::firmwareVersion);
    f.ipAddress = readLittleEndian<std::uint32_t>(m_bytes, L::ipAddress);
    f.subnetMask = readLittleEndian<std::uint32_t>(m_bytes, L::subnetMask);
    f.connectionRefusal = readLittleEndian<std::uint32_t>(m_bytes, L::connectionRefusal);
    f.internalTemperature = readLittleEndian<double>(m_bytes, L::internalTemperature);
    f.waterTemperature = readLittleEndian<double>(m_bytes, L::waterTemperature);
    f.pressure = readLittleEndian<double>(m_bytes, L::pressure);
    return f;
}

} // namespace Keldar::Ondrix::Status
