#pragma once

#include <keldar/logging/LogFileInterface.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace Keldar::Logging {

class LogFileImpl;

// A log file stored as an SQLite database.
//
// A log created by this object (a recording, an export) runs with a
// write-ahead log while open, so a process killed while recording leaves a
// file that SQLite recovers to its last committed entry; closing checkpoints
// it and returns the file to an ordinary single-file database. An existing
// log is opened as it is: reading it changes nothing on disk.
class SqliteLogFile : public LogFileInterface
{
public:
    enum class Access {
        ReadWrite,
        // Never writes: a missing or empty file is not created but refused.
        ReadOnly,
        // Opens an existing log for reading and occasional writes (bookmarks);
        // a missing or empty file is refused as with ReadOnly, not created.
        // Opening writes nothing: the file is opened for writing when a
        // write first asks for it, and never when it is damaged or its writer
        // stopped mid-write (the write fails and getLastError says why).
        ReadWriteExisting,
    };

    // Opens a log, or creates the schema in a missing or empty file. Throws
    // LegacyLogFileError, NotALogFileError or a Database::DatabaseError.
    explicit SqliteLogFile(const std::filesystem::path& path);
    // With Access::ReadOnly or ReadWriteExisting a missing file throws a
    // Database::DatabaseError and an empty one NotALogFileError; with ReadOnly
    // writes through the object fail.
    SqliteLogFile(const std::filesystem::path& path, Access access);
    // Creates a new log with the standard metadata. The path must not exist.
    SqliteLogFile(const std::string& path, const std::string& timeZone, const std::string& applicationName,
                  const std::string& applicationVersion, std::int8_t compressionLevel, std::int64_t createdDateTime);
    ~SqliteLogFile() override;

    // Whether the file starts as a log does (a database, or a log of the
    // older format), whatever its name; reads its first bytes only.
    static bool hasLogFileSignature(const std::filesystem::path& path);
    // Whether a journal lies beside the file: whatever wrote it stopped
    // before closing it (a crash or a power loss), or is still writing.
    // Opening such a log copies it with its journal, which takes a while.
    static bool hasJournalBeside(const std::filesystem::path& path);

    SqliteLogFile(SqliteLogFile&& other) noexcept;
    SqliteLogFile& operator=(SqliteLogFile&& other) noexcept;

    std::filesystem::path getFilePath() const override;
    std::vector<DataSource> getDataSources() const override;
    std::optional<PropertyValue> getDataSourceProperty(int dataSourceId, const std::string& key) const override;
    std::vector<DataSourceProperty> getAllDataSourceProperties() const override;
    std::vector<std::int32_t> getEntryIndex(const EntryIndexFilter& filter) const override;
    std::vector<std::int64_t> getEntryTimestamps(const EntryIndexFilter& filter) const override;
    std::int32_t getFirstEntryId() const override;
    std::int32_t getLastEntryId() const override;
    std::int32_t getEntryCount() const override;
    std::optional<DataEntry> readEntry(int entryId) const override;
    bool readEntryInto(int entryId, DataEntry& entry) const override;
    std::optional<PropertyValue> getMetadataValue(const std::string& key) const override;
    std::vector<LogMetadataEntry> getAllMetadata() const override;
    std::optional<std::vector<std::uint8_t>> getResource(const std::string& name) const override;
    std::vector<LogResourceEntry> getAllResources() const override;
    std::optional<std::vector<std::uint8_t>> getThumbnail() const override;
    std::vector<Bookmark> getBookmarks() const override;
    bool addDataSource(const DataSource& source) override;
    bool addDataSource(DataSource& source) override;
    bool addDataSourceProperty(const DataSourceProperty& property) override;
    bool logData(const DataEntry& entry) override;
    using LogFileInterface::addMetadata;
    bool addMetadata(const std::string& key, PropertyValue value) override;
    using LogFileInterface::addResource;
    bool addResource(const std::string& name, const std::vector<std::uint8_t>& data) override;
    bool setThumbnail(const std::vector<std::uint8_t>& data) override;
    bool addBookmark(const Bookmark& bookmark) override;
    bool updateBookmark(const Bookmark& bookmark) override;
    bool removeBookmark(const Bookmark& bookmark) override;
    bool editBookmark(const Bookmark& chosen, const std::string& title, const std::string& comments) override;
    bool removeOneBookmark(const Bookmark& chosen) override;
    std::string getLastError() const override;
    std::vector<DataEntry> readEntries(int first, int last, const EntryIndexFilter& filter, int limit) const override;

    bool isResourceCompressionSupported() const;
    bool isBookmarkPayloadsSupported() const;
    std::int8_t getCompressionLevel() const;
    std::int32_t getLogVersion() const;
    // True when this open created the schema.
    bool isNewFile() const;
    // True when the file is shorter than it should be (the disk lost its end):
    // it is opened read-only and reads up to the first entry that was lost.
    bool endIsDamaged() const;
    // True when reading found the file damaged: its end cut short, or a page
    // that does not read (met by getEntryIndex or checkEntries).
    bool isDamaged() const;
    // True when a journal lay beside the file when it was opened: its writer
    // stopped mid-write. The committed entries are read from a private copy
    // with the journal applied; the original and its journal are not touched.
    bool openedMidWrite() const;
    // Why a write through this handle would be refused now (a sentence
    // starting in lower case), or empty when it may be tried. Opens nothing.
    std::string writeRefusal() const;

    struct EntryCount
    {
        // The entries the file lists, counting those on pages that no longer
        // read, and those that read whole.
        std::int64_t listed = 0;
        std::int64_t readable = 0;
    };
    // Walks the pages that list the entries (not their payloads) unless
    // damage is known already; true when the file is damaged.
    bool lookForDamage() const;
    // Reads every entry, once: later calls give the same count, and
    // getEntryIndex leaves out the entries that did not read without reading
    // them again. `progress(done, total)` is called now and then and returns
    // false to stop, which gives no count.
    std::optional<EntryCount>
    checkEntries(const std::function<bool(std::int64_t done, std::int64_t total)>& progress = {}) const;

    // Groups many writes into one commit (used by bulk copies). Not for use
    // while another thread writes through the same file.
    bool beginTransaction();
    bool commitTransaction();

    // For filling a new file in large transactions: a rollback journal writes
    // appended pages once, where the write-ahead log writes them twice.
    // Commits stay atomic either way. Turn it off again to go back to the
    // write-ahead log.
    bool setBulkWriting(bool enabled);

    // Entries with their payloads as stored (compressed when the level is not
    // 0), for copying between files of the same compression level.
    std::vector<DataEntry> readStoredEntries(int first, int last, int limit) const;
    // Logs an entry whose payload is already in this file's stored form.
    bool logStoredData(const DataEntry& entry);

    // Hands the entries first..last to `visit` one at a time in id order, so
    // a copy holds only one entry in memory; payloads decoded or as stored.
    // An entry that cannot be read is handed over empty. `visit` returns
    // false to stop early. False when the file could not be read up to the
    // end of the range (a damaged page): the rest was not visited.
    using EntryVisitor = std::function<bool(std::int32_t entryId, std::optional<DataEntry> entry)>;
    bool visitEntries(int first, int last, bool decode, const EntryVisitor& visit) const;

    // SQLite's extended result code of the last write that failed, 0 when
    // the last write succeeded. Tells a write the file refused for its
    // content (a constraint, 19 in the low byte) from one it could not store
    // (a full disk, an I/O error).
    int getLastWriteErrorCode() const;

private:
    void readVersion();
    // Every entry id the table's readable pages list, in order.
    std::vector<std::int32_t> listEntryIds(const EntryIndexFilter& filter) const;
    std::vector<DataEntry> readEntryRange(int first, int last, const EntryIndexFilter& filter, int limit,
                                          bool decode) const;
    bool logStored(const DataEntry& entry, const std::vector<std::uint8_t>& stored);

    std::unique_ptr<LogFileImpl> impl_;
};

} // namespace Keldar::Logging
