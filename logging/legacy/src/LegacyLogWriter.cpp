#include <keldar/logging/legacy/LegacyFormat.h>
#include <keldar/logging/legacy/LegacyLogWriter.h>

#include "LittleEndian.h"

#include <array>
#include <cstring>

namespace Keldar::Logging::Legacy {

LegacyLogWriter::LegacyLogWriter(std::ostream& out, double creationTime)
    : out_(out)
{
    std::array<std::uint8_t, FileHeader::size> header{};
    LittleEndian::write(header.data() + FileHeader::magic, FileHeader::magicValue);
    LittleEndian::write(header.data() + FileHeader::headerSize, static_cast<std::uint32_t>(FileHeader::size));
    constexpr char productName[] = "Ondrix";
    std::memcpy(header.data() + FileHeader::productName, productName, sizeof productName - 1);
    LittleEndian::write(header.data() + FileHeader::formatVersion, FileHeader::formatVersionValue);
    LittleEndian::write(header.data() + FileHeader::creationTime, creationTime);
    out_.write(reinterpret_cast<const char*>(header.data()), header.size());
}

void LegacyLogWriter::writeRecord(std::uint16_t kind, std::uint16_t versionFlag, double time,
                                  const std::uint8_t* payload, std::size_t size)
{
    if (size > UINT32_MAX) {
        out_.setstate(std::ios::failbit);
        return;
    }
    std::array<std::uint8_t, RecordHeader::size> header{};
    LittleEndian::write(header.data() + RecordHeader::magic, RecordHeader::magicValue);
    LittleEndian::write(header.data() + RecordHeader::headerSize, static_cast<std::uint32_t>(RecordHeader::size));
    LittleEndian::write(header.data() + RecordHeader::kind, kind);
    LittleEndian::write(header.data() + RecordHeader::versionFlag, versionFlag);
    LittleEndian::write(header.data() + RecordHeader::time, time);
    LittleEndian::write(header.data() + RecordHeader::payloadSize, static_cast<std::uint32_t>(size));
    LittleEndian::write(header.data() + RecordHeader::payloadSizeCopy, static_cast<std::uint32_t>(size));
    out_.write(reinterpret_cast<const char*>(header.data()), header.size());
    out_.write(reinterpret_cast<const char*>(payload), static_cast<std::streamsize>(size));
}

} // namespace Keldar::Logging::Legacy
