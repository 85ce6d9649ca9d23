#pragma once

#include <keldar/database/DatabaseTypes.h>
#include <keldar/database/SqliteQuery.h>

#include <string>

namespace Keldar::Database {

// Binds a property value to one named parameter by its alternative.
class BindParameterVisitor
{
public:
    BindParameterVisitor(SqliteQuery& query, std::string name, BindMode textMode = BindMode::Copy)
        : query_(query)
        , name_(std::move(name))
        , textMode_(textMode)
    {
    }

    bool operator()(std::int32_t value) const { return query_.bindParameter(name_, static_cast<int>(value)); }
    bool operator()(std::int64_t value) const { return query_.bindParameter(name_, value); }
    bool operator()(double value) const { return query_.bindParameter(name_, value); }
    bool operator()(const std::string& value) const { return query_.bindParameter(name_, value, textMode_); }

private:
    SqliteQuery& query_;
    std::string name_;
    BindMode textMode_;
};

} // namespace Keldar::Database
