// Damaged logs, as disks and crashes leave them (the damaged inputs of the
// log-file fuzz corpus): reading one changes no byte of it or beside it,
// writing is refused, and recovery copies what still reads into a new file.

#include "LogBundle.h"
#include "TestLogs.h"

#include <keldar/logging/Recovery.h>
#include <keldar/logging/SqliteLogFile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

using namespace Keldar::Logging;
using namespace Keldar::Logging::Testing;

namespace {

// Every file of a folder, name to bytes: what "left as it was" compares.
std::map<std::string, std::vector<std::uint8_t>> folderContents(const std::filesystem::path& folder)
{
    std::map<std::string, std::vector<std::uint8_t>> contents;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        contents[entry.path().filename().string()] = readBytes(entry.path());
    }
    return contents;
}

// Unpacks a corpus input (a log, or a log with its journal) into `folder`.
std::filesystem::path unpack(const std::string& name, const std::filesystem::path& folder)
{
    std::ifstream in(std::filesystem::path(KELDAR_LOGFILE_CORPUS) / name, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    const auto path = folder / "log.ondrix";
    Keldar::Fuzzing::writeLogBundle(bytes.data(), bytes.size(), path);
    return path;
}

struct Kind
{
    std::string name;
    bool damaged;
    bool midWrite;
    bool entriesLost;
};

// The header that claims pages the file lacks loses none of its entries; a
// file cut at 30 % lost every page that listed its lost entries too.
const std::vector<Kind> kinds{
    {"damaged-bad-data-page.ondrix", true, false, true}, {"damaged-bad-bookmark-page.ondrix", true, false, true},
    {"damaged-cut-30.ondrix", true, false, false},       {"damaged-cut-60.ondrix", true, false, true},
    {"damaged-cut-90.ondrix", true, false, true},        {"damaged-header-overcount.ondrix", true, false, false},
    {"damaged-wal-beside.ondrix", false, true, false},   {"damaged-journal-beside.ondrix", false, true, false},
};

} // namespace

TEST(DamagedLog, EveryKindReadsWhatItCanRefusesWritesAndIsLeftAsItWas)
{
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        TempFolder folder;
        const auto path = unpack(kind.name, folder.path());
        const auto before = folderContents(folder.path());
        {
            SqliteLogFile file(path, SqliteLogFile::Access::ReadWriteExisting);
            const auto index = file.getEntryIndex({});
            for (const auto id : index) {
                EXPECT_TRUE(file.readEntry(id)) << id;
            }
            const auto count = file.checkEntries();
            ASSERT_TRUE(count);
            EXPECT_EQ(file.isDamaged(), kind.damaged);
            EXPECT_EQ(file.openedMidWrite(), kind.midWrite);
            EXPECT_EQ(count->readable, static_cast<std::int64_t>(index.size()));
            EXPECT_EQ(count->readable < count->listed, kind.entriesLost);
            EXPECT_FALSE(file.writeRefusal().empty());
            EXPECT_FALSE(file.addBookmark(Bookmark{index.empty() ? 1 : index.front(), "new", "", {}}));
            EXPECT_NE(file.getLastError().find("recover it into a new file"), std::string::npos);
        }
        EXPECT_EQ(folderContents(folder.path()), before);
    }
}

TEST(DamagedLog, ReadsWhatEachDamageLeft)
{
    TempFolder folder;
    // A page of entries lost in the middle: those after it still read, and
    // the bookmark on a readable entry is there.
    SqliteLogFile bad(unpack("damaged-bad-bookmark-page.ondrix", folder.path()), SqliteLogFile::Access::ReadOnly);
    const auto index = bad.getEntryIndex({});
    EXPECT_TRUE(std::binary_search(index.begin(), index.end(), 10));
    EXPECT_FALSE(std::binary_search(index.begin(), index.end(), 40));
    EXPECT_EQ(index.back(), 80);
    EXPECT_EQ(bad.getBookmarks().size(), 2U);

    // A writer stopped mid-transaction: its journal rolls the spilled pages
    // back in the private copy, so the entries read as last committed.
    TempFolder other;
    SqliteLogFile bulk(unpack("damaged-journal-beside.ondrix", other.path()), SqliteLogFile::Access::ReadOnly);
    ASSERT_EQ(bulk.getEntryIndex({}).size(), 80U);
    for (int id = 1; id <= 80; ++id) {
        ASSERT_EQ(bulk.readEntry(id)->timestamp, 1000 + 100 * id);
    }
}

TEST(DamagedLog, RecoveryWritesWhatReadsIntoANewFileAndTellsWhatWasLost)
{
    TempFolder folder;
    const auto path = unpack("damaged-bad-bookmark-page.ondrix", folder.path());
    const auto original = readBytes(path);
    SqliteLogFile damaged(path, SqliteLogFile::Access::ReadOnly);
    const auto output = folder.file("recovered.ondrix");
    Algorithms::RecoveryReport report;
    ASSERT_TRUE(Algorithms::recoverInto(damaged, output, "test", "1", report)) << report.error;
    EXPECT_EQ(report.listedEntries, 80);
    EXPECT_GT(report.lostEntries(), 0);
    EXPECT_EQ(report.bookmarks, 2);
    EXPECT_EQ(report.bookmarksOnLostEntries, 1);
    EXPECT_EQ(readBytes(path), original);

    SqliteLogFile recovered(output, SqliteLogFile::Access::ReadOnly);
    EXPECT_FALSE(recovered.lookForDamage());
    EXPECT_EQ(static_cast<std::int64_t>(recovered.getEntryIndex({}).size()), report.recoveredEntries);
    EXPECT_EQ(report.recoveredEntries, 80 - report.lostEntries());
    const auto bookmarks = recovered.getBookmarks();
    ASSERT_EQ(bookmarks.size(), 2U);
    EXPECT_EQ(bookmarks[0].title, "readable");
    EXPECT_EQ(bookmarks[0].payload, (std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(integrityCheck(output), "ok");
    // A second recovery never overwrites the first.
    EXPECT_FALSE(Algorithms::recoverInto(damaged, output, "test", "1", report));
}

TEST(DamagedLog, ASoundLogIsOpenedForWritingOnlyWhenABookmarkIsAdded)
{
    TempFolder folder;
    const auto path = folder.file("sound.ondrix");
    {
        auto file = createLog(path);
        fillLog(*file, 5);
    }
    const auto before = folderContents(folder.path());
    SqliteLogFile file(path, SqliteLogFile::Access::ReadWriteExisting);
    EXPECT_EQ(file.getEntryIndex({}).size(), 5U);
    EXPECT_TRUE(file.writeRefusal().empty());
    EXPECT_EQ(folderContents(folder.path()), before);

    ASSERT_TRUE(file.addBookmark(Bookmark{3, "added", "later", {}})) << file.getLastError();
    ASSERT_EQ(file.getBookmarks().size(), 1U);
    EXPECT_EQ(file.readEntry(3)->entryId, 3);
    EXPECT_NE(readBytes(path), before.at("sound.ondrix"));
    EXPECT_EQ(fileAndJournals(path), std::vector<std::string>{"sound.ondrix"});
}
