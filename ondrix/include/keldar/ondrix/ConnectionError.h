#pragma once

#include <stdexcept>
#include <string>

namespace Keldar::Ondrix {

class ConnectionError : public std::runtime_error
{
public:
    explicit ConnectionError(const std::string& what = "Could not connect to sonar.")
        : std::runtime_error(what)
    {
    }
};

} // namespace Keldar::Ondrix
