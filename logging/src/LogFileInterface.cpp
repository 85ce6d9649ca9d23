#include <keldar/logging/LogFileInterface.h>

namespace Keldar::Logging {

bool LogFileInterface::addMetadata(const LogMetadataEntry& entry)
{
    return addMetadata(entry.key, PropertyValue(entry.value));
}

bool LogFileInterface::addResource(const LogResourceEntry& entry)
{
    return addResource(entry.name, entry.data);
}

bool LogFileInterface::readEntryInto(int entryId, DataEntry& entry) const
{
    auto read = readEntry(entryId);
    if (!read) {
        return false;
    }
    entry = std::move(*read);
    return true;
}

bool LogFileInterface::editBookmark(const Bookmark& /*chosen*/, const std::string& /*title*/,
                                    const std::string& /*comments*/)
{
    return false;
}

bool LogFileInterface::removeOneBookmark(const Bookmark& /*chosen*/)
{
    return false;
}

std::vector<std::int64_t> LogFileInterface::getEntryTimestamps(const EntryIndexFilter& filter) const
{
    std::vector<std::int64_t> timestamps;
    const auto index = getEntryIndex(filter);
    timestamps.reserve(index.size());
    for (const std::int32_t entryId : index) {
        const auto entry = readEntry(entryId);
        timestamps.push_back(entry ? entry->timestamp : timestamps.empty() ? 0 : timestamps.back());
    }
    return timestamps;
}

} // namespace Keldar::Logging
