#pragma once

#include <stdexcept>

namespace Keldar::Logging {

class NotALogFileError : public std::runtime_error
{
public:
    NotALogFileError()
        : std::runtime_error("This file is not in a supported log file format.")
    {
    }
};

} // namespace Keldar::Logging
