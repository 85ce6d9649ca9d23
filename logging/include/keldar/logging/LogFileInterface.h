#pragma once

#include <keldar/logging/Bookmark.h>
#include <keldar/logging/DataEntry.h>
#include <keldar/logging/DataSource.h>
#include <keldar/logging/DataSourceProperty.h>
#include <keldar/logging/EntryIndexFilter.h>
#include <keldar/logging/LogMetadataEntry.h>
#include <keldar/logging/LogResourceEntry.h>
#include <keldar/logging/PropertyValue.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace Keldar::Logging {

class LogFileInterface
{
public:
    LogFileInterface() = default;
    LogFileInterface(LogFileInterface&&) noexcept = default;
    LogFileInterface& operator=(LogFileInterface&&) noexcept = default;
    LogFileInterface(const LogFileInterface&) = delete;
    LogFileInterface& operator=(const LogFileInterface&) = delete;
    virtual ~LogFileInterface() = default;

    virtual std::filesystem::path getFilePath() const = 0;
    virtual std::vector<DataSource> getDataSources() const = 0;
    virtual std::optional<PropertyValue> getDataSourceProperty(int dataSourceId, const std::string& key) const = 0;
    virtual std::vector<DataSourceProperty> getAllDataSourceProperties() const = 0;
    virtual std::vector<std::int32_t> getEntryIndex(const EntryIndexFilter& filter) const = 0;
    // The timestamp of each entry getEntryIndex gives for `filter`, in its
    // order; an entry that cannot be read takes the timestamp before it.
    virtual std::vector<std::int64_t> getEntryTimestamps(const EntryIndexFilter& filter) const;
    virtual std::int32_t getFirstEntryId() const = 0;
    virtual std::int32_t getLastEntryId() const = 0;
    virtual std::int32_t getEntryCount() const = 0;
    virtual std::optional<DataEntry> readEntry(int entryId) const = 0;
    // readEntry into a record the caller keeps from entry to entry, reusing
    // its payload's storage where the file can; false when readEntry would
    // give nothing.
    virtual bool readEntryInto(int entryId, DataEntry& entry) const;
    virtual std::optional<PropertyValue> getMetadataValue(const std::string& key) const = 0;
    virtual std::vector<LogMetadataEntry> getAllMetadata() const = 0;
    virtual std::optional<std::vector<std::uint8_t>> getResource(const std::string& name) const = 0;
    virtual std::vector<LogResourceEntry> getAllResources() const = 0;
    virtual std::optional<std::vector<std::uint8_t>> getThumbnail() const = 0;
    virtual std::vector<Bookmark> getBookmarks() const = 0;
    // Keeps the source's own id (used when copying a log).
    virtual bool addDataSource(const DataSource& source) = 0;
    // Lets the file assign the id and writes it back into the record.
    virtual bool addDataSource(DataSource& source) = 0;
    virtual bool addDataSourceProperty(const DataSourceProperty& property) = 0;
    virtual bool logData(const DataEntry& entry) = 0;
    virtual bool addMetadata(const LogMetadataEntry& entry);
    virtual bool addMetadata(const std::string& key, PropertyValue value) = 0;
    virtual bool addResource(const LogResourceEntry& entry);
    virtual bool addResource(const std::string& name, const std::vector<std::uint8_t>& data) = 0;
    virtual bool setThumbnail(const std::vector<std::uint8_t>& data) = 0;
    virtual bool addBookmark(const Bookmark& bookmark) = 0;
    virtual bool updateBookmark(const Bookmark& bookmark) = 0;
    virtual bool removeBookmark(const Bookmark& bookmark) = 0;
    // updateBookmark and removeBookmark act on every bookmark of an entry, and
    // older files may hold several on one. These act on exactly one: the first
    // stored whose entry id, title and comments are those of `chosen`. Editing
    // keeps its payload. False when none matches or the write fails; this base
    // has no way to tell bookmarks apart and refuses.
    virtual bool editBookmark(const Bookmark& chosen, const std::string& title, const std::string& comments);
    virtual bool removeOneBookmark(const Bookmark& chosen);
    virtual std::string getLastError() const = 0;
    // first/last of -1 stand for the first/last entry id; limit -1 means no limit.
    virtual std::vector<DataEntry> readEntries(int first, int last, const EntryIndexFilter& filter,
                                               int limit) const = 0;
};

} // namespace Keldar::Logging
