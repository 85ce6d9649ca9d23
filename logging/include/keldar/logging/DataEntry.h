#pragma once

#include <cstdint>
#include <vector>

namespace Keldar::Logging {

struct DataEntry
{
    std::int32_t entryId = 0; // assigned by the file when logged
    std::int8_t dataSourceId = 0;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> payload;
    std::int64_t timestamp = 0; // ms since the Unix epoch
};

} // namespace Keldar::Logging
