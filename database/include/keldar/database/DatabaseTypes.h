#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace Keldar::Database {

// Values match the SQLite open flags they stand for: 6 is read-write plus create.
enum class OpenMode : int {
    ReadOnly = 0x1,
    ReadWrite = 0x2,
    ReadWriteCreate = 0x6,
    // Read-only and unchanging, for a file shorter than its header says (its
    // end was lost): SQLite refuses such a file unless it may take the schema
    // as it finds it, which is harmless where nothing can be written.
    ReadOnlyCutShort = 0x3001,
    // Read-only, and the file is taken to stay as it is: no lock, no journal
    // or write-ahead log looked at, nothing created or rolled back beside it.
    ReadOnlyUnchanging = 0x2001,
    // Read and write, taking the schema as it finds it: for a private copy of
    // a file cut short, whose journal is rolled back there.
    ReadWriteCutShort = 0x1002,
};

// Copy: SQLite copies the bytes at bind time.
// NoCopy: the bound object outlives the next step, so SQLite may keep a pointer
// to it and skip the copy (worth it for large payloads).
enum class BindMode : int {
    Copy = 0,
    NoCopy = 1,
};

enum class QueryResult : int {
    Row = 0,
    Done = 1,
    Error = 2,
    Busy = 3,
};

// A column of the current row; SQL NULL is represented by an empty optional.
using ColumnValue = std::variant<std::int64_t, double, std::string, std::vector<std::uint8_t>>;

// A typed value as the log library stores it in metadata and properties.
using PropertyValue = std::variant<std::int32_t, std::int64_t, double, std::string>;

} // namespace Keldar::Database
