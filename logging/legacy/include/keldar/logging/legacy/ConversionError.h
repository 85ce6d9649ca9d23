#pragma once

#include <stdexcept>
#include <string>

namespace Keldar::Logging::Legacy {

// A conversion of an older-format file that cannot go on; what() is shown to the user.
class ConversionError : public std::runtime_error
{
public:
    explicit ConversionError(const std::string& message)
        : std::runtime_error(message)
    {
    }
};

inline constexpr const char* cannotOpenFileMessage = "There was a problem opening the file.";
inline constexpr const char* notWellFormedMessage = "The file is not a well formed log file.";
inline constexpr const char* unsupportedDataTypeMessage = "The file contains an unsupported data type.";

} // namespace Keldar::Logging::Legacy
