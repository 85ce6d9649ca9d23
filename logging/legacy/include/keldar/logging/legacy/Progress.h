#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

namespace Keldar::Logging::Legacy {

// How a long conversion or export talks to whoever shows its progress (the
// viewer's progress dialog, a command line, a test). Every member may be empty.
struct Progress
{
    std::function<void(std::int64_t minimum, std::int64_t maximum)> setRange = {};
    std::function<void(std::int64_t value)> setValue = {};
    // Asked between steps; true stops the work and discards its output.
    std::function<bool()> wasCancelled = {};
    // Told the partial output removed after a cancel or a failure (a
    // temporary name beside the final one), for the user to hear of it.
    std::function<void(const std::filesystem::path& removed)> removedPartial = {};

    void range(std::int64_t minimum, std::int64_t maximum) const
    {
        if (setRange) {
            setRange(minimum, maximum);
        }
    }
    void value(std::int64_t current) const
    {
        if (setValue) {
            setValue(current);
        }
    }
    bool cancelled() const { return wasCancelled && wasCancelled(); }
    void removed(const std::filesystem::path& partial) const
    {
        if (removedPartial) {
            removedPartial(partial);
        }
    }
};

} // namespace Keldar::Logging::Legacy
