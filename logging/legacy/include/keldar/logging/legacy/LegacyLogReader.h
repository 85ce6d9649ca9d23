#pragma once

#include <keldar/logging/legacy/LegacyFormat.h>

#include <cstddef>
#include <cstdint>
#include <istream>

namespace Keldar::Logging::Legacy {

// Reads an older-format file group by group, a group being the records that
// share one time value. Hostile input is refused with ConversionError ("The
// file is not a well formed log file.") before anything is allocated for it:
// every record header is checked and every payload must lie within the file.
class LegacyLogReader
{
public:
    // Reads and checks the file header. The stream must be seekable and stay
    // alive while the reader is used.
    explicit LegacyLogReader(std::istream& in);

    // Moves to the next group and returns its size; 0 at the end of the file.
    // Records of the current group not read yet are skipped.
    std::size_t scanGroup();
    // The next record of the current group, payload included.
    Record readRecord();
    // The same into a record kept from call to call, reusing its payload's
    // storage rather than allocating one per record.
    void readRecord(Record& record);

    double getCreationTime() const { return creationTime_; }
    // Bytes consumed so far, for progress.
    std::uint64_t getPosition() const { return position_; }
    std::uint64_t getFileSize() const { return fileSize_; }

private:
    struct HeaderFields
    {
        std::uint16_t kind = 0;
        std::uint16_t versionFlag = 0;
        double time = 0.0;
        std::uint32_t payloadSize = 0;
    };
    HeaderFields readHeaderAt(std::uint64_t offset);

    std::istream& in_;
    std::uint64_t fileSize_ = 0;
    double creationTime_ = 0.0;
    std::uint64_t groupEnd_ = 0; // where the record after the current group starts
    std::uint64_t position_ = 0; // where the next record of the current group starts
    std::size_t unreadInGroup_ = 0;
};

} // namespace Keldar::Logging::Legacy
