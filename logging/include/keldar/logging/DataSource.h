#pragma once

#include <keldar/logging/LogDataSourceType.h>

#include <cstdint>
#include <string>

namespace Keldar::Logging {

struct DataSource
{
    std::int8_t id = -1; // -1 until stored
    KD_LogDataSourceType type = KD_LogDataSourceType_Sonar;
    std::string name;
};

} // namespace Keldar::Logging
