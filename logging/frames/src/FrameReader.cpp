#include <keldar/logging/frames/FrameReader.h>

#include <keldar/logging/LogDataSourceType.h>

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace Keldar::Logging::Frames {

FrameReader::FrameReader(const LogFileInterface& file)
    : file_(file)
{
    for (const auto& source : file.getDataSources()) {
        if (source.type == KD_LogDataSourceType_Sonar) {
            filter_.dataSources.push_back(source.id);
        }
    }
    index_ = file.getEntryIndex(filter_);
}

std::int32_t FrameReader::count() const
{
    return static_cast<std::int32_t>(index_.size());
}

std::int32_t FrameReader::entryId(std::int32_t frame) const
{
    if (frame < 0 || frame >= count()) {
        throw std::out_of_range("frame " + std::to_string(frame) + " is not in the log, which has " +
                                std::to_string(count()) + " frames");
    }
    return index_[static_cast<std::size_t>(frame)];
}

int FrameReader::forEach(std::int32_t from, std::int32_t to, const std::function<void(const LoggedFrame&)>& visit,
                         const DamagedVisitor& damaged) const
{
    const std::int32_t last = to < 0 ? count() - 1 : std::min(to, count() - 1);
    constexpr int batch = 32;
    int damagedCount = 0;
    const auto report = [&](std::int32_t entryId, const std::string& reason) {
        ++damagedCount;
        if (damaged) {
            damaged(entryId, reason);
        }
    };
    std::int32_t frame = std::max(from, 0);
    while (frame <= last) {
        const std::int32_t firstId = index_[static_cast<std::size_t>(frame)];
        std::vector<DataEntry> entries;
        try {
            entries = file_.readEntries(firstId, index_[static_cast<std::size_t>(last)], filter_, batch);
        } catch (const std::exception& error) {
            throw FrameReadError("cannot read the entries from " + std::to_string(firstId) + ": " + error.what());
        }
        if (entries.empty()) {
            break;
        }
        for (const auto& entry : entries) {
            // Ids are ascending in both; an id missing from the batch (it
            // could not be read) keeps its frame number unused.
            while (frame <= last && index_[static_cast<std::size_t>(frame)] < entry.entryId) {
                report(index_[static_cast<std::size_t>(frame)], "cannot be read");
                ++frame;
            }
            std::optional<LoggedFrame> parsed;
            try {
                parsed = parseLoggedFrame(entry);
            } catch (const std::exception& error) {
                report(entry.entryId, std::string("is not a readable sonar image: ") + error.what());
            }
            if (parsed) {
                parsed->frame = frame;
                visit(*parsed);
            }
            ++frame;
        }
    }
    for (; frame <= last; ++frame) {
        report(index_[static_cast<std::size_t>(frame)], "cannot be read");
    }
    return damagedCount;
}

LoggedFrame FrameReader::read(std::int32_t frame) const
{
    const std::int32_t id = entryId(frame);
    std::optional<DataEntry> entry;
    try {
        entry = file_.readEntry(id);
    } catch (const std::exception& error) {
        throw FrameReadError("cannot read entry " + std::to_string(id) + ": " + error.what());
    }
    if (!entry) {
        throw DamagedFrameError("entry " + std::to_string(id) + " cannot be read");
    }
    std::optional<LoggedFrame> parsed;
    try {
        parsed = parseLoggedFrame(*entry);
    } catch (const std::exception& error) {
        throw DamagedFrameError("entry " + std::to_string(id) + " is not a readable sonar image: " + error.what());
    }
    if (!parsed) {
        throw DamagedFrameError("entry " + std::to_string(id) + " is not a sonar image (data type " +
                                std::to_string(entry->type) + ")");
    }
    parsed->frame = frame;
    return std::move(*parsed);
}

} // namespace Keldar::Logging::Frames
