#pragma once

#include <stdexcept>

namespace Keldar::GUI::Helpers::Svg {

// Raised when an SVG document cannot be read from its file.
class SvgFileError : public std::runtime_error
{
public:
    SvgFileError()
        : std::runtime_error("Could not open SVG file.")
    {
    }
};

} // namespace Keldar::GUI::Helpers::Svg
