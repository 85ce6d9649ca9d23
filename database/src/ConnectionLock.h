#pragma once

#include <sqlite3.h>

namespace Keldar::Database {

// Holds the connection's own (recursive) mutex so that a step and the error
// code it leaves behind are read together, even with a second thread about.
class ConnectionLock
{
public:
    explicit ConnectionLock(sqlite3* db)
        : mutex_(sqlite3_db_mutex(db))
    {
        sqlite3_mutex_enter(mutex_);
    }
    ~ConnectionLock() { sqlite3_mutex_leave(mutex_); }
    ConnectionLock(const ConnectionLock&) = delete;
    ConnectionLock& operator=(const ConnectionLock&) = delete;

private:
    sqlite3_mutex* mutex_;
};

} // namespace Keldar::Database
