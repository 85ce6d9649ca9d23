#pragma once

// JSON output of the commands, one object per line, through nlohmann-json.
// Texts from a log (metadata, names, bookmarks) may hold any bytes: invalid
// UTF-8 is replaced by U+FFFD so that every line stays valid JSON.

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace Keldar::Cli {

// Keys keep the order they are written in.
using Json = nlohmann::ordered_json;

inline std::string jsonLine(const Json& value)
{
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// JSON has no NaN or infinity: they become null. Whole numbers print without
// a fraction ("70", not "70.0").
inline Json jsonNumber(double value)
{
    if (!std::isfinite(value)) {
        return nullptr;
    }
    if (value == std::trunc(value) && std::fabs(value) < 9.0e15) {
        return static_cast<std::int64_t>(value);
    }
    return value;
}

// A float printed with the digits it holds ("0.1", not "0.10000000149011612").
inline Json jsonNumber(float value)
{
    if (!std::isfinite(value)) {
        return nullptr;
    }
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text - 1, value);
    *result.ptr = '\0';
    return jsonNumber(std::strtod(text, nullptr));
}

} // namespace Keldar::Cli
