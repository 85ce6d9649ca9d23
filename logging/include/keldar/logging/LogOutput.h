#pragma once

#include <keldar/logging/SqliteLogFile.h>

#include <cstdint>
#include <memory>
#include <string>

namespace Keldar::Logging {

// Closes a log written as a new file (an export, a conversion) and checks it
// before it is put under its final name: the close must leave no journal
// beside it (one left means a transaction or the write-ahead log was not
// completed, and the next open would roll the file back), and the file must
// open again as a log holding `expectedEntries` entries. Returns why it is
// not whole; empty when it is.
std::string closeAndCheckLog(std::unique_ptr<SqliteLogFile> written, std::int64_t expectedEntries);

} // namespace Keldar::Logging
