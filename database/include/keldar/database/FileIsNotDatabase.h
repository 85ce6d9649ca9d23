#pragma once

#include <keldar/database/DatabaseError.h>

namespace Keldar::Database {

// Raised when a file exists but SQLite does not recognise it as a database, so
// callers can look at its bytes for another format.
class FileIsNotDatabase : public DatabaseError
{
public:
    using DatabaseError::DatabaseError;
};

} // namespace Keldar::Database
