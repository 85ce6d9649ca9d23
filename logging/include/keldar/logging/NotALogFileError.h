#pragma once

#include <stdexcept>
#include <string>

namespace Keldar::Logging {

class NotALogFileError : public std::runtime_error
{
public:
    NotALogFileError()
        : std::runtime_error("This file is not in a supported log file format.")
    {
    }

protected:
    explicit NotALogFileError(const std::string& message)
        : std::runtime_error(message)
    {
    }
};

// A database file, so a log as far as its first bytes tell, whose contents
// SQLite cannot read: a recording cut short or overwritten, not a file of
// another kind.
class DamagedLogFileError : public NotALogFileError
{
public:
    DamagedLogFileError()
        : NotALogFileError("The log file is damaged: its database cannot be read.")
    {
    }
};

} // namespace Keldar::Logging
