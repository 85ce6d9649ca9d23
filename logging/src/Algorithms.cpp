#include <keldar/logging/Algorithms.h>

#include <keldar/core/Chrono.h>
#include <keldar/core/Filesystem.h>
#include <keldar/logging/SqliteLogFile.h>

#include <algorithm>
#include <array>
#include <filesystem>

namespace Keldar::Logging::Algorithms {

namespace {

// Entries are copied in batches of at most this many entries or bytes,
// whichever comes first, each batch in one output transaction.
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

bool rangeIsValid(const LogFileInterface& source, std::int32_t first, std::int32_t last)
{
    if (first == -1 && last == -1) {
        return true;
    }
    if (last < first || source.getEntryCount() <= 0) {
        return false;
    }
    if (last < source.getFirstEntryId() || first > source.getLastEntryId()) {
        return false;
    }
    return source.readEntry(first).has_value() && source.readEntry(last).has_value();
}

void copyMetadata(const LogFileInterface& source, LogFileInterface& output, const std::string& applicationName,
                  const std::string& applicationVersion)
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
            output.addMetadata(oldKey, oldValue);
        }
    }
    for (const auto& entry : metadata) {
        const bool standard = std::find(standardMetadataKeys.begin(), standardMetadataKeys.end(), entry.key)
            != standardMetadataKeys.end();
        if (!standard) {
            output.addMetadata(entry);
        }
    }
}

void copyEntries(const LogFileInterface& source, SqliteLogFile& output, std::int32_t lowest, std::int32_t highest)
{
    const EntryIndexFilter everything;
    // Payloads stored at the output's own level are copied as they are
    // instead of being inflated and deflated again.
    const auto* sqliteSource = dynamic_cast<const SqliteLogFile*>(&source);
    const bool copyStored = sqliteSource != nullptr && sqliteSource->getCompressionLevel() == output.getCompressionLevel();
    int batchLimit = maximumBatchEntries;
    std::int32_t next = lowest;
    while (next <= highest) {
        auto batch = copyStored ? sqliteSource->readStoredEntries(next, highest, batchLimit)
                                : source.readEntries(next, highest, everything, batchLimit);
        if (batch.empty()) {
            break;
        }
        std::size_t bytes = 0;
        output.beginTransaction();
        for (const auto& entry : batch) {
            if (copyStored) {
                output.logStoredData(entry);
            } else {
                output.logData(entry);
            }
            bytes += entry.payload.size();
        }
        output.commitTransaction();
        const std::int32_t lastCopied = batch.back().entryId;
        // Large entries shrink the next batch so it stays within the budget.
        const std::size_t averageBytes = std::max<std::size_t>(1, bytes / batch.size());
        batchLimit = static_cast<int>(
            std::clamp<std::size_t>(batchBytesBudget / averageBytes, 1, static_cast<std::size_t>(maximumBatchEntries)));
        if (lastCopied >= highest) {
            break;
        }
        next = lastCopied + 1;
    }
}

} // namespace

std::unique_ptr<LogFileInterface> slice(const LogFileInterface& source, std::int32_t first, std::int32_t last,
                                        const std::string& outputPath, const std::string& applicationName,
                                        const std::string& applicationVersion, std::int8_t compressionLevel)
{
    std::error_code error;
    if (!outputPath.empty() && std::filesystem::exists(outputPath, error)) {
        return nullptr;
    }
    if (!rangeIsValid(source, first, last)) {
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
    std::unique_ptr<SqliteLogFile> output;
    try {
        output = std::make_unique<SqliteLogFile>(path.string(), timeZone, applicationName, applicationVersion,
                                                 compressionLevel, Chrono::msSinceUnixEpoch());
    } catch (...) {
        return nullptr;
    }

    output->beginTransaction();
    copyMetadata(source, *output, applicationName, applicationVersion);
    for (const auto& resource : source.getAllResources()) {
        output->addResource(resource);
    }
    for (const auto& dataSource : source.getDataSources()) {
        output->addDataSource(static_cast<const DataSource&>(dataSource));
    }
    for (const auto& property : source.getAllDataSourceProperties()) {
        output->addDataSourceProperty(property);
    }
    output->commitTransaction();

    const auto index = source.getEntryIndex(EntryIndexFilter{});
    const auto begin = std::lower_bound(index.begin(), index.end(), first);
    const auto end = std::upper_bound(begin, index.end(), last);
    if (begin == end) {
        return output;
    }
    const std::int32_t lowest = *begin;
    const std::int32_t highest = *(end - 1);
    output->setBulkWriting(true);
    copyEntries(source, *output, lowest, highest);
    output->setBulkWriting(false);

    output->beginTransaction();
    for (auto bookmark : source.getBookmarks()) {
        if (bookmark.entryId < lowest || bookmark.entryId > highest) {
            continue;
        }
        const auto position = std::lower_bound(begin, end, bookmark.entryId);
        bookmark.entryId = static_cast<std::int32_t>(position - begin) + 1;
        output->addBookmark(bookmark);
    }
    output->commitTransaction();
    return output;
}

std::unique_ptr<LogFileInterface> clone(const LogFileInterface& source, const std::string& outputPath,
                                        const std::string& applicationName, const std::string& applicationVersion,
                                        std::int8_t compressionLevel)
{
    return slice(source, source.getFirstEntryId(), source.getLastEntryId(), outputPath, applicationName,
                 applicationVersion, compressionLevel);
}

} // namespace Keldar::Logging::Algorithms
