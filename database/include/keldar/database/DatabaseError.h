#pragma once

#include <stdexcept>
#include <string>

namespace Keldar::Database {

class DatabaseError : public std::runtime_error
{
public:
    DatabaseError(const std::string& message, int code)
        : std::runtime_error(message)
        , code_(code)
    {
    }

    int getCode() const noexcept { return code_; }

private:
    int code_;
};

} // namespace Keldar::Database
