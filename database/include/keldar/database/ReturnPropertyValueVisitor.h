#pragma once

#include <keldar/database/DatabaseTypes.h>

#include <string>

namespace Keldar::Database {

// Turns a column value into a property value. Properties are never written as
// blobs; one found in a foreign or damaged file is handed back as its bytes in
// the text alternative rather than dropped.
struct ReturnPropertyValueVisitor
{
    PropertyValue operator()(std::int64_t value) const { return value; }
    PropertyValue operator()(double value) const { return value; }
    PropertyValue operator()(const std::string& value) const { return value; }
    PropertyValue operator()(const std::vector<std::uint8_t>& value) const
    {
        return std::string(value.begin(), value.end());
    }
};

} // namespace Keldar::Database
