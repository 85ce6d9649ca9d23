#pragma once

// Just enough JSON output for one-object-per-line results.

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

namespace Keldar::Cli {

inline std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

// JSON has no NaN or infinity.
inline std::string jsonNumber(double value)
{
    if (!std::isfinite(value)) {
        return "null";
    }
    std::ostringstream out;
    out.precision(10);
    out << value;
    return out.str();
}

} // namespace Keldar::Cli
