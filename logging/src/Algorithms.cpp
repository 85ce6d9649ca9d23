#include <keldar/logging/Algorithms.h>

#include <keldar/core/Chrono.h>
#include <keldar/core/Filesystem.h>
#include <keldar/core/OutputFile.h>
#include <keldar/logging/LogOutput.h>
#include <keldar/logging/SqliteLogFile.h>

#include <algorithm>
#include <array>
#include <filesystem>

namespace Keldar::Logging::Algorithms {

namespace {

// Entries are written in transactions of at most this many entries or bytes,
// whichever comes first.
constexpr int maximumBatchEntries = 256;
constexpr std::size_t batchBytesBudget = 32u << 20;

constexpr std::array<const char*, 6> standardMetadataKeys{
    "createdDateTime", "applicationName", "applicationVersion", "currentTimeZone", "logVersion", "compressionLevel",
};

std::string textValue(const std::vector<LogMetadataEntry>& metadata, const std::string& key, bool* present = nullptr)
{
    for (const auto& entry : metadata) {
        if (entry.key == key) {
            if (present != nullptr) {
                *present = true;
            }
            if (const auto* text = std::get_if<std::string>(&entry.value)) {
                return *text;
            }
            return {};
        }
    }
    if (present != nullptr) {
        *present = false;
    }
    return {};
}

// The bounds must name entries that exist; whether they can be decoded is the
// copy's concern (an unreadable one is skipped and reported, not a bad range).
bool rangeIsValid(const LogFileInterface& source, const std::vector<std::int32_t>& index, std::int32_t first,
                  std::int32_t last)
{
    if (first == -1 && last == -1) {
        return true;
    }
    if (last < first || index.empty() || last < index.front() || first > index.back()) {
        return false;
    }
    const auto exists = [&](std::int32_t id) {
        return std::binary_search(index.begin(), index.end(), id) || source.readEntry(id).has_value();
    };
    return exists(first) && exists(last);
}

// A write the output refuses for its content (a duplicate metadata key, a
// property of a missing source) is skipped; one it cannot store (a full disk,
// an I/O error, a failed commit) fails the whole copy, so that no truncated
// log is ever handed back as a complete export.
class CopyWriter
{
public:
    explicit CopyWriter(SqliteLogFile& output)
        : output_(output)
    {
    }

    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }

    // For copies of the log's description, where the output may refuse an item.
    void item(bool written)
    {
        constexpr int constraintFailure = 19;
        if (!written && (output_.getLastWriteErrorCode() & 0xff) != constraintFailure) {
            fail();
        }
    }

    // Entries are never refused for their content: any failure is fatal.
    bool entry(const DataEntry& entry, bool stored)
    {
        if (failed() || stopped_ || (!inTransaction_ && !begin())) {
            return false;
        }
        if (!(stored ? output_.logStoredData(entry) : output_.logData(entry))) {
            fail();
            return false;
        }
        copiedIds_.push_back(entry.entryId);
        transactionBytes_ += entry.payload.size();
        ++transactionEntries_;
        if (transactionBytes_ >= batchBytesBudget || transactionEntries_ >= maximumBatchEntries) {
            return commit();
        }
        return true;
    }

    bool begin()
    {
        if (failed()) {
            return false;
        }
        if (!output_.beginTransaction()) {
            fail();
            return false;
        }
        inTransaction_ = true;
        return true;
    }

    bool commit()
    {
        if (!inTransaction_) {
            return !failed();
        }
        inTransaction_ = false;
        transactionBytes_ = 0;
        transactionEntries_ = 0;
        if (!output_.commitTransaction()) {
            fail();
        }
        return !failed();
    }

    // Ends the copy at the caller's request: nothing more is written.
    void stop() { stopped_ = true; }
    bool stopped() const { return stopped_; }

    // Source ids of the entries written, in output order (output id = position + 1).
    const std::vector<std::int32_t>& copiedIds() const { return copiedIds_; }

private:
    void fail()
    {
        if (error_.empty()) {
            error_ = output_.getLastError();
            if (error_.empty() || error_ == "No error") {
                error_ = "Unknown internal error";
            }
        }
    }

    SqliteLogFile& output_;
    std::string error_;
    bool inTransaction_ = false;
    bool stopped_ = false;
    std::size_t transactionBytes_ = 0;
    int transactionEntries_ = 0;
    std::vector<std::int32_t> copiedIds_;
};

void copyMetadata(const LogFileInterface& source, LogFileInterface& output, const std::string& applicationName,
                  const std::string& applicationVersion, CopyWriter& writer)
{
    const auto metadata = source.getAllMetadata();
    const std::array<std::pair<const char*, const std::string*>, 2> renamed{{
        {"applicationName", &applicationName},
        {"applicationVersion", &applicationVersion},
    }};
    for (const auto& [key, newValue] : renamed) {
        const std::string oldValue = textValue(metadata, key);
        std::string oldKey = std::string("old") + key;
        oldKey[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(oldKey[3])));
        bool hasOldKey = false;
        textValue(metadata, oldKey, &hasOldKey);
        if (oldValue != *newValue && !hasOldKey) {
            writer.item(output.addMetadata(oldKey, oldValue));
        }
    }
    for (const auto& entry : metadata) {
        const bool standard = std::find(standardMetadataKeys.begin(), standardMetadataKeys.end(), entry.key) !=
                              standardMetadataKeys.end();
        if (!standard) {
            writer.item(output.addMetadata(entry));
        }
    }
}

// Copies the selected entries one at a time, so memory holds one entry
// whatever the size of the selection. An entry that cannot be read is left
// out and listed in `skipped`; the rest of the range is still copied. The
// caller hears of every entry handled and may stop the copy between any two.
void copyEntries(const LogFileInterface& source, std::vector<std::int32_t>::const_iterator begin,
                 std::vector<std::int32_t>::const_iterator end, CopyWriter& writer, std::vector<std::int32_t>& skipped,
                 std::int8_t outputLevel, const CopyControl& control)
{
    const auto selected = static_cast<std::int64_t>(end - begin);
    std::int64_t handled = 0;
    // False once the copy is to end here.
    auto handledOne = [&] {
        ++handled;
        if (control.progress) {
            control.progress(handled, selected);
        }
        if (control.cancelled && control.cancelled()) {
            writer.stop();
        }
        return !writer.failed() && !writer.stopped();
    };
    auto next = begin;
    const auto* sqliteSource = dynamic_cast<const SqliteLogFile*>(&source);
    if (sqliteSource != nullptr) {
        // Payloads stored at the output's own level are copied as they are
        // instead of being inflated and deflated again.
        const bool copyStored = sqliteSource->getCompressionLevel() == outputLevel;
        sqliteSource->visitEntries(*begin, *(end - 1), !copyStored,
                                   [&](std::int32_t entryId, std::optional<DataEntry> entry) {
                                       next = std::upper_bound(next, end, entryId);
                                       if (!entry) {
                                           skipped.push_back(entryId);
                                       } else if (!writer.entry(*entry, copyStored)) {
                                           return false;
                                       }
                                       return handledOne();
                                   });
    }
    // What a cursor could not reach (a damaged page stops it) and sources of
    // other kinds are read entry by entry.
    for (; next != end && !writer.failed() && !writer.stopped(); ++next) {
        std::optional<DataEntry> entry;
        try {
            entry = source.readEntry(*next);
        } catch (const std::exception&) {
            entry.reset();
        }
        if (!entry) {
            skipped.push_back(*next);
        } else {
            entry->entryId = *next;
            writer.entry(*entry, false);
        }
        handledOne();
    }
    if (!writer.stopped()) {
        writer.commit();
    }
}

// A failed or stopped copy leaves nothing that could pass for a complete
// export; the caller may name what was removed.
void discardOutput(Filesystem::OutputFile& target, CopyReport& told)
{
    if (target.discard()) {
        told.removedOutput = target.temporaryPath();
    }
}

} // namespace

std::unique_ptr<LogFileInterface> slice(const LogFileInterface& source, std::int32_t first, std::int32_t last,
                                        const std::string& outputPath, const std::string& applicationName,
                                        const std::string& applicationVersion, std::int8_t compressionLevel,
                                        CopyReport* report, const CopyControl& control)
{
    CopyReport ignored;
    CopyReport& told = report != nullptr ? *report : ignored;
    told = CopyReport{};
    std::error_code error;
    if (!outputPath.empty() && std::filesystem::exists(outputPath, error)) {
        told.error = "The output file already exists.";
        return nullptr;
    }
    const auto index = source.getEntryIndex(EntryIndexFilter{});
    if (!rangeIsValid(source, index, first, last)) {
        told.error = "The range does not name entries of the log.";
        return nullptr;
    }
    std::filesystem::path path = outputPath;
    if (outputPath.empty()) {
        path = Filesystem::makeUniqueFilePath(Filesystem::appendTextToFilename(source.getFilePath(), "_exported"));
    }

    std::string timeZone;
    if (const auto zone = source.getMetadataValue("currentTimeZone")) {
        if (const auto* text = std::get_if<std::string>(&*zone)) {
            timeZone = *text;
        }
    }
    // Written under a temporary name beside the final one, and put in place
    // only once closed and read back whole.
    Filesystem::OutputFile target(path);
    std::unique_ptr<SqliteLogFile> output;
    try {
        output = std::make_unique<SqliteLogFile>(target.temporaryPath().string(), timeZone, applicationName,
                                                 applicationVersion, compressionLevel, Chrono::msSinceUnixEpoch());
    } catch (const std::exception& exception) {
        told.error = exception.what();
        discardOutput(target, told);
        return nullptr;
    } catch (...) {
        told.error = "Unknown internal error";
        discardOutput(target, told);
        return nullptr;
    }

    CopyWriter writer(*output);
    writer.begin();
    copyMetadata(source, *output, applicationName, applicationVersion, writer);
    for (const auto& resource : source.getAllResources()) {
        writer.item(output->addResource(resource));
    }
    for (const auto& dataSource : source.getDataSources()) {
        writer.item(output->addDataSource(static_cast<const DataSource&>(dataSource)));
    }
    for (const auto& property : source.getAllDataSourceProperties()) {
        writer.item(output->addDataSourceProperty(property));
    }
    writer.commit();

    const auto begin = std::lower_bound(index.begin(), index.end(), first);
    const auto end = std::upper_bound(begin, index.end(), last);
    std::vector<std::int32_t> skipped;
    if (begin != end && !writer.failed()) {
        output->setBulkWriting(true);
        copyEntries(source, begin, end, writer, skipped, compressionLevel, control);
        // A stopped copy is removed as it is, its transaction still open.
        if (!writer.stopped()) {
            output->setBulkWriting(false);
        }
    }
    if (begin != end && !writer.failed() && !writer.stopped()) {
        // A bookmark goes to the entry it marks or, when that one could not
        // be copied, to the next one copied.
        const auto& copied = writer.copiedIds();
        writer.begin();
        for (auto bookmark : source.getBookmarks()) {
            if (bookmark.entryId < *begin || bookmark.entryId > *(end - 1)) {
                continue;
            }
            const auto position = std::lower_bound(copied.begin(), copied.end(), bookmark.entryId);
            if (position == copied.end()) {
                continue;
            }
            bookmark.entryId = static_cast<std::int32_t>(position - copied.begin()) + 1;
            writer.item(output->addBookmark(bookmark));
        }
        writer.commit();
    }

    told.skippedEntryIds = std::move(skipped);
    told.error = writer.error();
    told.cancelled = writer.stopped() && !writer.failed();
    told.copiedEntries = static_cast<std::int64_t>(writer.copiedIds().size());
    if (writer.failed() || writer.stopped()) {
        output.reset();
        discardOutput(target, told);
        return nullptr;
    }
    told.error = closeAndCheckLog(std::move(output), told.copiedEntries);
    if (told.error.empty()) {
        try {
            target.commit();
            return std::make_unique<SqliteLogFile>(path, SqliteLogFile::Access::ReadWriteExisting);
        } catch (const std::exception& exception) {
            told.error = exception.what();
        }
    }
    discardOutput(target, told);
    return nullptr;
}

std::unique_ptr<LogFileInterface> clone(const LogFileInterface& source, const std::string& outputPath,
                                        const std::string& applicationName, const std::string& applicationVersion,
                                        std::int8_t compressionLevel, CopyReport* report, const CopyControl& control)
{
    return slice(source, source.getFirstEntryId(), source.getLastEntryId(), outputPath, applicationName,
                 applicationVersion, compressionLevel, report, control);
}

} // namespace Keldar::Logging::Algorithms
