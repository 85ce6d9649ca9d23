#pragma once

#include <keldar/database/DatabaseTypes.h>

namespace Keldar::Logging {

// int32, int64, double, text, in that order. Integers read back from a file
// always come as int64, whatever alternative they were written with.
using PropertyValue = Keldar::Database::PropertyValue;

} // namespace Keldar::Logging
