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

} // namespace Keldar::Logging
