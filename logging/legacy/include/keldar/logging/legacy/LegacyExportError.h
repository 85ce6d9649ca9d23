#pragma once

#include <stdexcept>
#include <string>

namespace Keldar::Logging::Legacy {

// An export to the older format that cannot go on; what() is shown to the user.
class LegacyExportError : public std::runtime_error
{
public:
    explicit LegacyExportError(const std::string& message)
        : std::runtime_error(message)
    {
    }
};

inline constexpr const char* cannotCreateFileMessage = "Could not create new file";
inline constexpr const char* cannotWriteFileMessage = "Could not write the new file";

} // namespace Keldar::Logging::Legacy
