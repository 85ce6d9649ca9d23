#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>

namespace Keldar::Logging::Legacy {

// Writes an older-format file: the header on construction, then one record per
// call. Write failures show in the stream's state, which the caller checks.
class LegacyLogWriter
{
public:
    LegacyLogWriter(std::ostream& out, double creationTime);

    void writeRecord(std::uint16_t kind, std::uint16_t versionFlag, double time, const std::uint8_t* payload,
                     std::size_t size);

private:
    std::ostream& out_;
};

} // namespace Keldar::Logging::Legacy
