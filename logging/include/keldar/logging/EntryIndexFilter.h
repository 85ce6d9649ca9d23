#pragma once

#include <keldar/logging/LogDataSourceType.h>

#include <cstdint>
#include <vector>

namespace Keldar::Logging {

// Empty lists restrict nothing; the lists combine with AND, members of one list with OR.
struct EntryIndexFilter
{
    std::vector<std::uint32_t> dataTypes;
    std::vector<std::int8_t> dataSources;
    std::vector<KD_LogDataSourceType> dataSourceTypes;
};

} // namespace Keldar::Logging
