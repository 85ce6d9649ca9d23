// Reading a log leaves it untouched: the same bytes, no journal files beside
// it, and logs on read-only folders or in read-only files still open.
#include "TestLogs.h"

#include <keldar/logging/FlatInterface.h>
#include <keldar/logging/LogFilePlayer.h>
#include <keldar/logging/NotALogFileError.h>
#include <keldar/logging/SqliteLogFile.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

using namespace Keldar::Logging;
using namespace Keldar::Logging::Testing;

namespace {

constexpr int entryCount = 12;

void makeLog(const std::filesystem::path& path)
{
    auto file = createLog(path, 6);
    fillLog(*file, entryCount, 1000, 10, 2048);
    file->addBookmark(Bookmark{3, "three", "", {1, 2}});
    file->setThumbnail({9, 9, 9});
}

// FNV-1a over the whole file: equal before and after means byte for byte.
std::uint64_t checksum(const std::filesystem::path& path)
{
    std::uint64_t hash = 1469598103934665603ULL;
    for (const auto byte : readBytes(path)) {
        hash = (hash ^ byte) * 1099511628211ULL;
    }
    return hash;
}

// Reads everything a viewer or `ondrix-cli log info` would; true when all of
// it came back.
bool readEverything(const SqliteLogFile& file)
{
    return file.getAllMetadata().size() == 6 && file.getDataSources().size() == 1 &&
           file.getEntryIndex({}).size() == entryCount && file.readEntries(-1, -1, {}, -1).size() == entryCount &&
           file.getBookmarks().size() == 1 && file.getThumbnail().has_value();
}

// Exit codes of the unprivileged child, so the parent can say what went wrong.
enum ChildResult : int {
    Readable = 0,
    CannotDropPrivileges = 10,
    FolderIsWritable = 11,
    FileIsWritable = 12,
    OpenFailed = 20,
    ReadFailed = 30,
    WriteSucceeded = 40,
};

int readAsUnprivilegedUser(const std::vector<std::filesystem::path>& logs, const std::filesystem::path& lockedFolder,
                           const std::filesystem::path& lockedFile)
{
    // Root ignores permission bits: become "nobody" so that they apply.
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0 || geteuid() == 0)) {
        return CannotDropPrivileges;
    }
    const int probe = open((lockedFolder / "probe").c_str(), O_CREAT | O_WRONLY, 0644);
    if (probe >= 0 || errno != EACCES) {
        return FolderIsWritable;
    }
    const int writer = open(lockedFile.c_str(), O_WRONLY);
    if (writer >= 0 || errno != EACCES) {
        return FileIsWritable;
    }
    for (const auto& path : logs) {
        try {
            SqliteLogFile file(path);
            if (!readEverything(file)) {
                return ReadFailed;
            }
            // Writing is refused cleanly, not by a crash.
            if (file.addBookmark(Bookmark{5, "five", "", {}})) {
                return WriteSucceeded;
            }
        } catch (...) {
            return OpenFailed;
        }
    }
    return Readable;
}

} // namespace

TEST(LogFileReading, ReadingLeavesTheFileByteForByteWithNothingBesideIt)
{
    TempFolder folder;
    const auto path = folder.file("kept.ondrix");
    makeLog(path);
    const auto before = checksum(path);
    ASSERT_EQ(fileAndJournals(path), std::vector<std::string>{"kept.ondrix"});

    {
        SqliteLogFile file(path);
        EXPECT_TRUE(readEverything(file));
        EXPECT_EQ(fileAndJournals(path), std::vector<std::string>{"kept.ondrix"});
    }
    {
        SqliteLogFile file(path, SqliteLogFile::Access::ReadOnly);
        EXPECT_TRUE(readEverything(file));
        EXPECT_FALSE(file.addBookmark(Bookmark{4, "refused", "", {}}));
    }
    {
        Playback::LogFilePlayer player(std::make_unique<SqliteLogFile>(path), {KD_LogDataSourceType_Sonar}, {}, false,
                                       500);
        EXPECT_TRUE(player.seek(entryCount - 1));
        EXPECT_EQ(player.getTotalPlayTime(), (entryCount - 1) * 10);
    }
    KD_LogError* error = nullptr;
    KD_LogFile* flat = KD_LogFile_Open(path.string().c_str(), &error);
    ASSERT_NE(flat, nullptr);
    std::int32_t count = 0;
    EXPECT_TRUE(KD_LogFile_GetEntryCount(flat, &count, &error));
    EXPECT_EQ(count, entryCount);
    KD_LogFile_Destroy(flat);

    EXPECT_EQ(checksum(path), before);
    EXPECT_EQ(fileAndJournals(path), std::vector<std::string>{"kept.ondrix"});
}

TEST(LogFileReading, ReadOnlyAccessNeverCreatesOrFillsAFile)
{
    TempFolder folder;
    const auto empty = folder.file("empty.ondrix");
    writeBytes(empty, {});
    EXPECT_THROW(SqliteLogFile file(empty, SqliteLogFile::Access::ReadOnly), NotALogFileError);
    EXPECT_EQ(std::filesystem::file_size(empty), 0u);
    const auto missing = folder.file("missing.ondrix");
    EXPECT_ANY_THROW(SqliteLogFile file(missing, SqliteLogFile::Access::ReadOnly));
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(LogFileReading, LogsInReadOnlyFoldersAndReadOnlyFilesOpenForAnUnprivilegedUser)
{
    TempFolder folder;
    namespace fs = std::filesystem;
    const auto lockedFolder = folder.file("locked");
    const auto openFolder = folder.file("open");
    fs::create_directories(lockedFolder);
    fs::create_directories(openFolder);
    const auto inLockedFolder = lockedFolder / "folder.ondrix";
    const auto lockedFile = openFolder / "file.ondrix";
    makeLog(inLockedFolder);
    makeLog(lockedFile);
    const auto readable = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                          fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(folder.path(), readable);
    fs::permissions(lockedFolder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(openFolder, fs::perms::all);
    fs::permissions(lockedFile, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const auto lockedChecksum = checksum(inLockedFolder);

    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        _exit(readAsUnprivilegedUser({inLockedFolder, lockedFile}, lockedFolder, lockedFile));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    fs::permissions(lockedFolder, fs::perms::owner_all, fs::perm_options::add);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), Readable)
        << "10: cannot drop privileges, 11/12: folder or file not write-protected, 20: open failed, "
           "30: reading failed, 40: a write to a read-only log succeeded";
    EXPECT_EQ(checksum(inLockedFolder), lockedChecksum);
}
