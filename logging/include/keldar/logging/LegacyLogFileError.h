#pragma once

#include <stdexcept>

namespace Keldar::Logging {

class LegacyLogFileError : public std::runtime_error
{
public:
    LegacyLogFileError()
        : std::runtime_error("Tried to open a legacy log file.")
    {
    }
};

} // namespace Keldar::Logging
