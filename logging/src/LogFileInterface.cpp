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

} // namespace Keldar::Logging
