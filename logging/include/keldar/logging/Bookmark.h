#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Keldar::Logging {

struct Bookmark
{
    std::int32_t entryId = 0;
    std::string title;
    std::string comments;
    std::vector<std::uint8_t> payload;
};

} // namespace Keldar::Logging
