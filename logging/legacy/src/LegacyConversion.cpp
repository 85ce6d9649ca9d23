#include <keldar/logging/legacy/LegacyConversion.h>
#include <keldar/logging/legacy/LegacyLogReader.h>
#include <keldar/logging/legacy/RecordTranslator.h>

#include <keldar/core/Chrono.h>
#include <keldar/core/Filesystem.h>
#include <keldar/core/OutputFile.h>
#include <keldar/logging/LogOutput.h>
#include <keldar/ondrix/MessageParsing.h>
#include <keldar/ondrix/ProtocolLayout.h>

#include <cstring>
#include <fstream>

namespace Keldar::Logging::Legacy {

namespace {

// Entries are committed in transactions of about this many payload bytes:
// large enough that commits cost little, small enough to bound the journal.
constexpr std::size_t transactionBytes = 32U << 20;

class ConvertedLogWriter
{
public:
    explicit ConvertedLogWriter(SqliteLogFile& output)
        : output_(output)
    {
    }

    // The payload is handed back in `converted` for the next record to reuse.
    void write(ConvertedEntry& converted)
    {
        const std::int8_t sourceId = sourceFor(converted);
        const std::size_t size = converted.payload.size();
        DataEntry entry{0, sourceId, converted.type, std::move(converted.payload), converted.timestamp};
        const bool written = output_.logData(entry);
        converted.payload = std::move(entry.payload);
        check(written);
        ++entries_;
        bytesSinceCommit_ += size;
        if (bytesSinceCommit_ >= transactionBytes) {
            check(output_.commitTransaction() && output_.beginTransaction());
            bytesSinceCommit_ = 0;
        }
    }

    // The last entries are only in the file once committed.
    void finish() { check(output_.commitTransaction()); }

    std::int64_t entries() const { return entries_; }

private:
    // A data source is added the first time one of its entries comes, with
    // the identity of the sonar that sent that first message.
    std::int8_t sourceFor(const ConvertedEntry& converted)
    {
        const bool sonar = converted.source == ConvertedSource::Sonar;
        std::optional<std::int8_t>& id = sonar ? sonarId_ : unknownId_;
        if (id) {
            return *id;
        }
        std::int32_t serialNumber = 0;
        std::int32_t modelNumber = 0;
        if (sonar) {
            // Every sonar entry starts with a checked message header.
            std::vector<std::byte> header(Ondrix::ProtocolLayout::Header::size);
            std::memcpy(header.data(), converted.payload.data(), header.size());
            serialNumber = Ondrix::MessageParsing::getSerialNumber(header);
            modelNumber = static_cast<std::int32_t>(Ondrix::MessageParsing::getModelNumber(header));
        }
        DataSource source{-1, KD_LogDataSourceType_Sonar, sonar ? "Ondrix Sonar" : "Unknown"};
        check(output_.addDataSource(source));
        check(output_.addDataSourceProperty({source.id, "serialNumber", serialNumber}));
        check(output_.addDataSourceProperty({source.id, "modelNumber", modelNumber}));
        id = source.id;
        return source.id;
    }

    // A write the new log refuses (a full disk, say) must fail the
    // conversion: a log silently missing entries would replace the original.
    void check(bool written) const
    {
        if (!written) {
            throw ConversionError(output_.getLastError());
        }
    }

    SqliteLogFile& output_;
    std::optional<std::int8_t> sonarId_;
    std::optional<std::int8_t> unknownId_;
    std::size_t bytesSinceCommit_ = 0;
    std::int64_t entries_ = 0;
};

// Reads every group into `output`; false when cancelled. `entries` receives
// the number of entries written.
bool convertRecords(LegacyLogReader& reader, SqliteLogFile& output, const Progress& progress, std::int64_t& entries)
{
    ConvertedLogWriter writer(output);
    RecordTranslator translator;
    output.setBulkWriting(true);
    output.beginTransaction();
    // One payload buffer serves every record: allocating and freeing one of
    // an image's size per record makes the allocator hand its pages back to
    // the system and fault them in again, which costs more than the copying.
    Record record;
    while (!progress.cancelled()) {
        const std::size_t groupSize = reader.scanGroup();
        if (groupSize == 0) {
            // The new log stays in rollback-journal mode, which is what a
            // closed log is in anyway. Going back to the write-ahead log here
            // would make SQLite flush the whole file to disk (seconds, and as
            // long as other writers make it), for nothing: the original stays
            // beside it until the user removes it.
            writer.finish();
            entries = writer.entries();
            return true;
        }
        for (std::size_t i = 0; i < groupSize; ++i) {
            reader.readRecord(record);
            if (auto converted = translator.translate(std::move(record), i, groupSize)) {
                writer.write(*converted);
                record.payload = std::move(converted->payload);
            }
            progress.value(static_cast<std::int64_t>(reader.getPosition() / 1024));
        }
    }
    return false;
}

} // namespace

std::unique_ptr<SqliteLogFile> convertLegacyLogFile(const std::string& path, const ConversionSettings& settings,
                                                    const Progress& progress, std::filesystem::path* keptOriginal)
{
    const std::filesystem::path input(path);
    const std::uintmax_t size = std::filesystem::file_size(input);
    progress.range(0, static_cast<std::int64_t>(size / 1024));
    progress.value(0);

    std::ifstream in(input, std::ios::binary);
    if (!in) {
        throw ConversionError(cannotOpenFileMessage);
    }
    // The header is checked before any output exists.
    LegacyLogReader reader(in);

    // The new log is written under a temporary name beside the original and
    // takes its name only once closed and read back whole.
    Filesystem::OutputFile output(input);
    const auto discard = [&] {
        if (output.discard()) {
            progress.removed(output.temporaryPath());
        }
    };
    std::int64_t entries = 0;
    bool finished = false;
    try {
        auto log = std::make_unique<SqliteLogFile>(output.temporaryPath().string(), settings.timeZone,
                                                   settings.applicationName, convertedApplicationVersion,
                                                   settings.compressionLevel, Chrono::msSinceUnixEpoch());
        finished = convertRecords(reader, *log, progress, entries);
        in.close();
        if (finished) {
            if (const auto failure = closeAndCheckLog(std::move(log), entries); !failure.empty()) {
                throw ConversionError(failure);
            }
        }
    } catch (...) {
        discard();
        throw;
    }
    if (!finished) {
        discard();
        return nullptr;
    }

    // Only now does the original move, and it is put back if the new log
    // cannot take its place.
    const auto kept = Filesystem::makeUniqueFilePath(input.string() + ".old");
    try {
        std::filesystem::rename(input, kept);
    } catch (...) {
        discard();
        throw;
    }
    try {
        output.commit();
    } catch (...) {
        std::error_code error;
        std::filesystem::rename(kept, input, error);
        progress.removed(output.temporaryPath());
        throw;
    }
    if (keptOriginal != nullptr) {
        *keptOriginal = kept;
    }
    return std::make_unique<SqliteLogFile>(input);
}

std::unique_ptr<SqliteLogFile> convertLegacyLogFile(const std::string& path, const KD_LogConfig* config,
                                                    const std::string& applicationName, const Progress& progress,
                                                    std::filesystem::path* keptOriginal)
{
    ConversionSettings settings;
    settings.applicationName = applicationName;
    const char* timeZone = nullptr;
    if (KD_LogConfig_GetTimeZone(config, &timeZone) && timeZone != nullptr) {
        settings.timeZone = timeZone;
    }
    KD_LogConfig_GetCompressionLevel(config, &settings.compressionLevel);
    return convertLegacyLogFile(path, settings, progress, keptOriginal);
}

} // namespace Keldar::Logging::Legacy
