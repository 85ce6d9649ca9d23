#pragma once

#include <stdexcept>

namespace Keldar::Ondrix {

// Bytes that cannot be read as a message: wrong magic, too short, or tables
// that point past the end.
class BadlyFormedMessageError : public std::runtime_error
{
public:
    BadlyFormedMessageError()
        : std::runtime_error("The supplied bytes are not a well formed Ondrix message.")
    {
    }
};

} // namespace Keldar::Ondrix
