#pragma once

#include <keldar/logging/EntryIndexFilter.h>
#include <keldar/logging/LogFileInterface.h>
#include <keldar/logging/frames/LoggedFrame.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace Keldar::Logging::Frames {

/// Entries that could not be read from the file at all.
class FrameReadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// The sonar images of a log in the order and with the numbers of playback:
/// the entries of the sonar sources, or every entry when the log has none.
/// Reads a batch of entries at a time, so that a long recording never has to
/// fit in memory. The file must outlive the reader.
class FrameReader
{
public:
    explicit FrameReader(const LogFileInterface& file);

    [[nodiscard]] std::int32_t count() const;
    /// Throws std::out_of_range for a frame outside 0..count()-1.
    [[nodiscard]] std::int32_t entryId(std::int32_t frame) const;

    /// Told of an entry that is not a readable sonar image: `reason` is
    /// "cannot be read" or "is not a readable sonar image: " and the parser's
    /// text.
    using DamagedVisitor = std::function<void(std::int32_t entryId, const std::string& reason)>;

    /// Calls `visit` for every sonar image whose frame lies in [from, to]
    /// (to -1: the last) and `damaged` for every entry there that is not one;
    /// returns how many were not. Entries of other data types are passed over
    /// and keep their frame numbers. Throws FrameReadError when the file
    /// cannot be read.
    int forEach(std::int32_t from, std::int32_t to, const std::function<void(const LoggedFrame&)>& visit,
                const DamagedVisitor& damaged = {}) const;

    /// One frame; throws std::out_of_range for a frame outside the log and
    /// DamagedFrameError for one that is not a readable sonar image.
    [[nodiscard]] LoggedFrame read(std::int32_t frame) const;

private:
    const LogFileInterface& file_;
    EntryIndexFilter filter_;
    std::vector<std::int32_t> index_;
};

} // namespace Keldar::Logging::Frames
