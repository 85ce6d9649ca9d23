// Speed of the log library: logging sonar-sized entries (against raw SQLite
// inserts of the same blobs, and against the rollback-journal settings the
// write-ahead log replaced), random reads, player seeks and slicing.
//
// The 1 GB slice runs only when KELDAR_BENCH_LARGE=1 is set.
#include <keldar/logging/Algorithms.h>
#include <keldar/logging/LogFilePlayer.h>
#include <keldar/logging/SqliteLogFile.h>

#ifdef KELDAR_HAVE_SIM_IMAGERY
#include <keldar/sim/SonarImageGenerator.h>
#endif

#include "../support/BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

using namespace Keldar::Logging;
using Keldar::Bench::removeLog;

namespace {

std::filesystem::path scratchFolder()
{
    static const std::filesystem::path folder = Keldar::Bench::makeScratchFolder("keldar-logging-bench");
    return folder;
}

// Sonar-like payloads: generated imagery when the simulator's generator is
// built, otherwise speckle over a range-dependent bed return.
std::vector<std::vector<std::uint8_t>> sonarPayloads(std::size_t bytes, int count)
{
    std::vector<std::vector<std::uint8_t>> payloads;
    const std::uint16_t beams = bytes >= 512 * 1024 ? 512 : 256;
    const auto ranges = static_cast<std::uint16_t>(bytes / beams);
#ifdef KELDAR_HAVE_SIM_IMAGERY
    Keldar::Sim::SonarImageGenerator generator(7);
    for (int i = 0; i < count; ++i) {
        auto image = generator.generate(beams, ranges, 40.0, 60.0, i * 0.1);
        image.samples.resize(bytes);
        payloads.push_back(std::move(image.samples));
    }
#else
    std::mt19937 random(7);
    for (int i = 0; i < count; ++i) {
        std::vector<std::uint8_t> samples(bytes);
        for (std::size_t r = 0; r < ranges; ++r) {
            const double bed = r > ranges / 3 ? 90.0 * (1.0 - double(r) / ranges) + 20 : 5;
            std::exponential_distribution<double> speckle(1.0 / bed);
            for (std::size_t b = 0; b < beams; ++b) {
                samples[r * beams + b] = static_cast<std::uint8_t>(std::min(255.0, speckle(random)));
            }
        }
        payloads.push_back(std::move(samples));
    }
#endif
    return payloads;
}

const std::vector<std::vector<std::uint8_t>>& payloadsOf(std::size_t bytes)
{
    static std::map<std::size_t, std::vector<std::vector<std::uint8_t>>> cache;
    auto& payloads = cache[bytes];
    if (payloads.empty()) {
        payloads = sonarPayloads(bytes, 16);
    }
    return payloads;
}

void BM_LogData(benchmark::State& state)
{
    const auto bytes = static_cast<std::size_t>(state.range(0));
    const auto level = static_cast<std::int8_t>(state.range(1));
    const auto& payloads = payloadsOf(bytes);
    const auto path = scratchFolder() / "logdata.ondrix";
    removeLog(path);
    std::size_t stored = 0;
    {
        SqliteLogFile file(path.string(), "UTC", "bench", "1", level, 0);
        DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix"};
        file.addDataSource(source);
        std::size_t i = 0;
        for (auto _ : state) {
            DataEntry entry{0, source.id, 1, payloads[i++ % payloads.size()], static_cast<std::int64_t>(i)};
            if (!file.logData(entry)) {
                state.SkipWithError("logData failed");
                break;
            }
        }
    }
    stored = std::filesystem::file_size(path);
    removeLog(path);
    state.counters["entries/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["MB/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * bytes) / 1e6, benchmark::Counter::kIsRate);
    state.counters["stored/raw"] = static_cast<double>(stored) / static_cast<double>(state.iterations() * bytes + 1);
}
BENCHMARK(BM_LogData)
    ->ArgsProduct({{128 * 1024, 512 * 1024}, {0, -1, 1}})
    ->ArgNames({"bytes", "level"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(300)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// Bytes this process has handed to write() (wchar) and has dirtied for the
// storage layer (write_bytes), from /proc/self/io; -1 each when unavailable.
std::pair<std::int64_t, std::int64_t> processWrites()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    std::int64_t value = 0;
    std::int64_t written = -1;
    std::int64_t storage = -1;
    while (io >> key >> value) {
        if (key == "wchar:") {
            written = value;
        } else if (key == "write_bytes:") {
            storage = value;
        }
    }
    return {written, storage};
}

std::int64_t pageSizeOf(const std::filesystem::path& path)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA page_size;", -1, &statement, nullptr);
    const std::int64_t size = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return size;
}

// Records 512 KB sonar entries the way the viewer does (one commit per entry,
// write-ahead log, background checkpoints) into a log whose pages are
// `page` bytes, and counts what reaches the disk per byte stored, closing
// (the final checkpoint) included. The page size is fixed by creating the
// file with no tables first: the library keeps an existing file's page size.
void BM_RecordingPageSize(benchmark::State& state)
{
    const auto page = state.range(0);
    const auto level = static_cast<std::int8_t>(state.range(1));
    constexpr std::size_t bytes = 512 * 1024;
    const auto& payloads = payloadsOf(bytes);
    const auto path = scratchFolder() / "pagesize.ondrix";
    removeLog(path);
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.string().c_str(), &db);
        const std::string sql = "PRAGMA page_size = " + std::to_string(page) + "; CREATE TABLE t(x); DROP TABLE t;";
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    std::int64_t stored = 0;
    double seconds = 0;
    const auto [writtenBefore, storageBefore] = processWrites();
    {
        SqliteLogFile file(path.string(), "UTC", "bench", "1", level, 0);
        DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix"};
        file.addDataSource(source);
        std::size_t i = 0;
        const auto start = std::chrono::steady_clock::now();
        for (auto _ : state) {
            DataEntry entry{0, source.id, 1, payloads[i++ % payloads.size()], static_cast<std::int64_t>(i)};
            if (!file.logData(entry)) {
                state.SkipWithError("logData failed");
                break;
            }
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        file.visitEntries(file.getFirstEntryId(), file.getLastEntryId(), false,
                          [&stored](std::int32_t, std::optional<DataEntry> entry) {
                              stored += entry ? static_cast<std::int64_t>(entry->payload.size()) : 0;
                              return true;
                          });
    }
    const auto [writtenAfter, storageAfter] = processWrites();
    state.counters["page"] = static_cast<double>(pageSizeOf(path));
    state.counters["ms/entry"] = 1000.0 * seconds / static_cast<double>(state.iterations());
    state.counters["stored/raw"] = static_cast<double>(stored) / static_cast<double>(state.iterations() * bytes);
    state.counters["written/stored"] = static_cast<double>(writtenAfter - writtenBefore) / static_cast<double>(stored);
    state.counters["disk/stored"] = static_cast<double>(storageAfter - storageBefore) / static_cast<double>(stored);
    state.counters["file/stored"] = static_cast<double>(std::filesystem::file_size(path)) / static_cast<double>(stored);
    removeLog(path);
}
BENCHMARK(BM_RecordingPageSize)
    ->ArgsProduct({{4096, 16384, 65536}, {0, -1}})
    ->ArgNames({"page", "level"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200);

enum class Journal {
    Rollback = 0,
    WriteAheadNormal = 1,
    WriteAheadOff = 2,
    OneTransaction = 3,
    OneTransactionLargePages = 4
};

// Raw SQLite inserts of the same blobs into the same table, committed one per
// entry like logData (Rollback: journal in memory without sync, the settings
// the write-ahead log replaced), or all inside one transaction (the baseline).
void BM_RawInsert(benchmark::State& state)
{
    const auto bytes = static_cast<std::size_t>(state.range(0));
    const auto journal = static_cast<Journal>(state.range(1));
    const auto& payloads = payloadsOf(bytes);
    const auto path = scratchFolder() / "raw.db";
    removeLog(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.string().c_str(), &db);
    if (journal == Journal::OneTransactionLargePages) {
        sqlite3_exec(db, "PRAGMA page_size = 65536;", nullptr, nullptr, nullptr);
    }
    switch (journal) {
    case Journal::Rollback:
    case Journal::OneTransaction:
    case Journal::OneTransactionLargePages:
        sqlite3_exec(db, "PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY;", nullptr, nullptr, nullptr);
        break;
    case Journal::WriteAheadNormal:
        sqlite3_exec(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;", nullptr, nullptr, nullptr);
        break;
    case Journal::WriteAheadOff:
        sqlite3_exec(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = OFF;", nullptr, nullptr, nullptr);
        break;
    }
    sqlite3_exec(db,
                 "CREATE TABLE data(entryId INTEGER PRIMARY KEY,timestamp INT NOT NULL,type INT NOT NULL,"
                 "dataSourceId INT NOT NULL,length INT NOT NULL,payload BLOB NOT NULL);",
                 nullptr, nullptr, nullptr);
    if (journal == Journal::OneTransaction || journal == Journal::OneTransactionLargePages) {
        sqlite3_exec(db, "BEGIN;", nullptr, nullptr, nullptr);
    }
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO data (timestamp, type, dataSourceId, length, payload) VALUES (?,1,1,?,?);", -1,
                       &insert, nullptr);
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& payload = payloads[i++ % payloads.size()];
        sqlite3_bind_int64(insert, 1, static_cast<sqlite3_int64>(i));
        sqlite3_bind_int64(insert, 2, static_cast<sqlite3_int64>(payload.size()));
        sqlite3_bind_blob(insert, 3, payload.data(), static_cast<int>(payload.size()), SQLITE_STATIC);
        if (sqlite3_step(insert) != SQLITE_DONE) {
            state.SkipWithError("insert failed");
            break;
        }
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    if (journal == Journal::OneTransaction || journal == Journal::OneTransactionLargePages) {
        sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    }
    sqlite3_close(db);
    removeLog(path);
    state.counters["entries/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["MB/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * bytes) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RawInsert)
    ->ArgsProduct({{128 * 1024, 512 * 1024}, {0, 1, 2, 3, 4}})
    ->ArgNames({"bytes", "journal"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(300)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// A 10 000 entry log of small sonar-like entries, made once.
const std::filesystem::path& readLog()
{
    static const std::filesystem::path path = [] {
        auto file = scratchFolder() / "read10k.ondrix";
        removeLog(file);
        SqliteLogFile log(file.string(), "UTC", "bench", "1", -1, 0);
        DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix"};
        log.addDataSource(source);
        const auto& payloads = payloadsOf(16 * 1024);
        log.beginTransaction();
        for (int i = 0; i < 10000; ++i) {
            log.logData(DataEntry{0, source.id, 1, payloads[static_cast<std::size_t>(i) % payloads.size()],
                                  1000 + 100 * static_cast<std::int64_t>(i)});
        }
        log.commitTransaction();
        return file;
    }();
    return path;
}

void BM_ReadEntryRandom(benchmark::State& state)
{
    SqliteLogFile file(readLog());
    std::mt19937 random(3);
    std::uniform_int_distribution<int> id(1, 10000);
    for (auto _ : state) {
        auto entry = file.readEntry(id(random));
        benchmark::DoNotOptimize(entry);
    }
}
BENCHMARK(BM_ReadEntryRandom)->Unit(benchmark::kMicrosecond)->Repetitions(3)->ReportAggregatesOnly(true);

// What opening a log for playback adds for the frames' timestamps, against
// the entry index it already reads (the baseline), on the same 10 000 entries.
void BM_EntryIndex(benchmark::State& state)
{
    SqliteLogFile file(readLog());
    const EntryIndexFilter filter{};
    for (auto _ : state) {
        auto index = file.getEntryIndex(filter);
        benchmark::DoNotOptimize(index);
    }
}
BENCHMARK(BM_EntryIndex)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_EntryTimestamps(benchmark::State& state)
{
    SqliteLogFile file(readLog());
    const EntryIndexFilter filter{};
    for (auto _ : state) {
        auto timestamps = file.getEntryTimestamps(filter);
        benchmark::DoNotOptimize(timestamps);
    }
}
BENCHMARK(BM_EntryTimestamps)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_PlayerSeek(benchmark::State& state)
{
    Playback::LogFilePlayer player(std::make_unique<SqliteLogFile>(readLog()), {KD_LogDataSourceType_Sonar}, {}, false,
                                   500);
    std::mt19937 random(4);
    std::uniform_int_distribution<int> frame(0, player.getFrameCount() - 1);
    std::size_t delivered = 0;
    const Playback::LogFilePlayer::FrameCallback sink = [&](std::int32_t, DataEntry entry) {
        delivered += entry.payload.size();
    };
    for (auto _ : state) {
        player.seek(frame(random), sink);
    }
    benchmark::DoNotOptimize(delivered);
}
BENCHMARK(BM_PlayerSeek)->Unit(benchmark::kMicrosecond)->Repetitions(3)->ReportAggregatesOnly(true);

// A log of `bytes` bytes of 512 KB sonar entries stored at `level`.
std::filesystem::path sliceSource(std::size_t bytes, std::int8_t level)
{
    const auto path =
        scratchFolder() / ("slice-source-" + std::to_string(bytes >> 20) + "-" + std::to_string(level + 1) + ".ondrix");
    if (std::filesystem::exists(path)) {
        return path;
    }
    SqliteLogFile log(path.string(), "UTC", "bench", "1", level, 0);
    DataSource source{-1, KD_LogDataSourceType_Sonar, "Ondrix"};
    log.addDataSource(source);
    const auto& payloads = payloadsOf(512 * 1024);
    const auto count = static_cast<int>(bytes / (512 * 1024));
    log.beginTransaction();
    for (int i = 0; i < count; ++i) {
        log.logData(DataEntry{0, source.id, 1, payloads[static_cast<std::size_t>(i) % payloads.size()], i});
        if (i % 200 == 199) {
            log.commitTransaction();
            log.beginTransaction();
        }
    }
    log.commitTransaction();
    return path;
}

// Slices the whole source in a child process so that its peak resident memory
// can be read on its own.
void BM_Slice(benchmark::State& state)
{
    const auto bytes = static_cast<std::size_t>(state.range(0)) << 20;
    const auto level = static_cast<std::int8_t>(state.range(1));
    const auto source = sliceSource(bytes, level);
    const auto output = scratchFolder() / "slice-out.ondrix";
    long peakKilobytes = 0;
    for (auto _ : state) {
        removeLog(output);
        const auto run = Keldar::Bench::runInChild([&] {
            SqliteLogFile file(source);
            return Algorithms::slice(file, file.getFirstEntryId(), file.getLastEntryId(), output.string(), "bench", "1",
                                     level) != nullptr;
        });
        if (!run.succeeded) {
            state.SkipWithError("slice failed");
            break;
        }
        peakKilobytes = std::max(peakKilobytes, run.peakKilobytes);
    }
    removeLog(output);
    state.counters["MB/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * bytes) / 1e6, benchmark::Counter::kIsRate);
    state.counters["peakMB"] = static_cast<double>(peakKilobytes) / 1024.0;
}
BENCHMARK(BM_Slice)
    ->ArgsProduct({{256}, {0, -1}})
    ->ArgNames({"MB", "level"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    if (const char* large = std::getenv("KELDAR_BENCH_LARGE"); large != nullptr && std::string(large) == "1") {
        benchmark::RegisterBenchmark("BM_Slice1GB", BM_Slice)
            ->Args({1024, 0})
            ->Args({1024, -1})
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }
    return Keldar::Bench::runBenchmarks(argc, argv, scratchFolder());
}
