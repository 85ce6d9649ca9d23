#pragma once

#include <keldar/database/DatabaseTypes.h>

#include <cstdint>
#include <optional>
#include <variant>

namespace Keldar::Logging {

// int32, int64, double, text, in that order. Integers read back from a file
// always come as int64, whatever alternative they were written with.
using PropertyValue = Keldar::Database::PropertyValue;

// The integer a property holds; 0 when it is absent or not an integer.
inline std::int64_t integerOrZero(const std::optional<PropertyValue>& value)
{
    if (!value) {
        return 0;
    }
    if (const auto* wide = std::get_if<std::int64_t>(&*value)) {
        return *wide;
    }
    if (const auto* narrow = std::get_if<std::int32_t>(&*value)) {
        return *narrow;
    }
    return 0;
}

} // namespace Keldar::Logging
