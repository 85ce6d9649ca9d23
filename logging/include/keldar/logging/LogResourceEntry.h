#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Global namespace: shared as-is with the flat interface.
struct LogResourceEntry
{
    std::string name;
    std::vector<std::uint8_t> data;
};
