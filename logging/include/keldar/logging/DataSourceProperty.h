#pragma once

#include <keldar/logging/PropertyValue.h>

#include <cstdint>
#include <string>

namespace Keldar::Logging {

struct DataSourceProperty
{
    std::int8_t dataSourceId = -1;
    std::string key;
    PropertyValue value;
};

} // namespace Keldar::Logging
