#include <keldar/logging/legacy/ConversionError.h>
#include <keldar/logging/legacy/LegacyLogReader.h>

#include "LittleEndian.h"

#include <array>

namespace Keldar::Logging::Legacy {

namespace {

[[noreturn]] void notWellFormed()
{
    throw ConversionError(notWellFormedMessage);
}

} // namespace

LegacyLogReader::LegacyLogReader(std::istream& in)
    : in_(in)
{
    in_.seekg(0, std::ios::end);
    const auto end = in_.tellg();
    in_.seekg(0, std::ios::beg);
    if (!in_ || end < 0) {
        throw ConversionError(cannotOpenFileMessage);
    }
    fileSize_ = static_cast<std::uint64_t>(end);

    std::array<std::uint8_t, FileHeader::size> header{};
    if (!in_.read(reinterpret_cast<char*>(header.data()), header.size()) ||
        LittleEndian::read<std::uint32_t>(header.data() + FileHeader::magic) != FileHeader::magicValue) {
        notWellFormed();
    }
    creationTime_ = LittleEndian::read<double>(header.data() + FileHeader::creationTime);
    groupEnd_ = position_ = FileHeader::size;
}

LegacyLogReader::HeaderFields LegacyLogReader::readHeaderAt(std::uint64_t offset)
{
    std::array<std::uint8_t, RecordHeader::size> header{};
    if (fileSize_ - offset < RecordHeader::size) {
        notWellFormed();
    }
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
    if (!in_.read(reinterpret_cast<char*>(header.data()), header.size()) ||
        LittleEndian::read<std::uint32_t>(header.data() + RecordHeader::magic) != RecordHeader::magicValue) {
        notWellFormed();
    }
    HeaderFields fields;
    fields.kind = LittleEndian::read<std::uint16_t>(header.data() + RecordHeader::kind);
    fields.versionFlag = LittleEndian::read<std::uint16_t>(header.data() + RecordHeader::versionFlag);
    fields.time = LittleEndian::read<double>(header.data() + RecordHeader::time);
    fields.payloadSize = LittleEndian::read<std::uint32_t>(header.data() + RecordHeader::payloadSizeCopy);
    // A payload running past the end of the file is refused here, before
    // any buffer is sized from it.
    if (fileSize_ - offset - RecordHeader::size < fields.payloadSize) {
        notWellFormed();
    }
    return fields;
}

std::size_t LegacyLogReader::scanGroup()
{
    position_ = groupEnd_;
    unreadInGroup_ = 0;
    if (groupEnd_ == fileSize_) {
        return 0;
    }
    // Only headers are read here, so a group of any length costs no memory;
    // its payloads are read one at a time by readRecord.
    std::uint64_t offset = groupEnd_;
    std::size_t count = 0;
    double time = 0.0;
    while (offset < fileSize_) {
        const HeaderFields fields = readHeaderAt(offset);
        if (count == 0) {
            time = fields.time;
        } else if (!(fields.time == time)) {
            break;
        }
        offset += RecordHeader::size + fields.payloadSize;
        ++count;
    }
    groupEnd_ = offset;
    unreadInGroup_ = count;
    return count;
}

Record LegacyLogReader::readRecord()
{
    Record record;
    readRecord(record);
    return record;
}

void LegacyLogReader::readRecord(Record& record)
{
    if (unreadInGroup_ == 0) {
        throw std::logic_error("No record left in the current group.");
    }
    const HeaderFields fields = readHeaderAt(position_);
    record.kind = fields.kind;
    record.versionFlag = fields.versionFlag;
    record.time = fields.time;
    record.payload.resize(fields.payloadSize);
    if (!in_.read(reinterpret_cast<char*>(record.payload.data()), static_cast<std::streamsize>(fields.payloadSize))) {
        notWellFormed();
    }
    position_ += RecordHeader::size + fields.payloadSize;
    --unreadInGroup_;
}

} // namespace Keldar::Logging::Legacy
