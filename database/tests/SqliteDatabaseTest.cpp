// The SQLite layer: recognising non-databases, NULL against empty values,
// statements that cannot be prepared, error codes and use from two threads.
#include <keldar/database/DatabaseError.h>
#include <keldar/database/FileIsNotDatabase.h>
#include <keldar/database/ReturnPropertyValueVisitor.h>
#include <keldar/database/SqliteDatabase.h>
#include <keldar/database/SqliteQuery.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

using namespace Keldar::Database;

namespace {

class TempPath
{
public:
    explicit TempPath(const std::string& name)
    {
        std::random_device device;
        path_ = std::filesystem::temp_directory_path() / ("keldar-db-" + std::to_string(device()) + "-" + name);
    }
    ~TempPath()
    {
        std::error_code error;
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
            std::filesystem::remove(path_.string() + suffix, error);
        }
    }
    TempPath(const TempPath&) = delete;
    TempPath& operator=(const TempPath&) = delete;
    std::string str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

} // namespace

TEST(SqliteDatabaseOpening, NonDatabaseFileThrowsFileIsNotDatabase)
{
    TempPath path("text.db");
    std::ofstream(path.str()) << std::string(300, 'q');
    EXPECT_THROW(SqliteDatabase database(path.str(), OpenMode::ReadWriteCreate), FileIsNotDatabase);
}

TEST(SqliteDatabaseOpening, MissingFileIsCreatedOnlyWithCreateMode)
{
    TempPath path("new.db");
    EXPECT_THROW(SqliteDatabase database(path.str(), OpenMode::ReadWrite), DatabaseError);
    SqliteDatabase database(path.str(), OpenMode::ReadWriteCreate);
    EXPECT_TRUE(std::filesystem::exists(path.str()));
}

TEST(SqliteQueryValues, NullEmptyAndTypedColumnsAreDistinguished)
{
    TempPath path("values.db");
    SqliteDatabase database(path.str(), OpenMode::ReadWriteCreate);
    ASSERT_TRUE(database.executeSimpleQuery("CREATE TABLE t(a, b, c, d, e, f);"));
    SqliteQuery insert(database, "INSERT INTO t VALUES (:a, :b, :c, :d, :e, NULL);");
    const std::vector<std::uint8_t> empty;
    const std::string text = "hello";
    insert.bindParameter(":a", std::int64_t{1} << 40);
    insert.bindParameter(":b", 1.5);
    insert.bindParameter(":c", text, BindMode::NoCopy);
    insert.bindParameter(":d", empty, BindMode::NoCopy);
    insert.bindParameter(":e", std::vector<std::uint8_t>{0, 255}, BindMode::Copy);
    ASSERT_EQ(insert.executeStep(), QueryResult::Done);
    EXPECT_EQ(insert.getInsertedRowId(), 1);

    SqliteQuery select(database, "SELECT a, b, c, d, e, f FROM t;");
    ASSERT_EQ(select.executeStep(), QueryResult::Row);
    EXPECT_EQ(std::get<std::int64_t>(*select.getValueFromColumn(0)), std::int64_t{1} << 40);
    EXPECT_EQ(std::get<double>(*select.getValueFromColumn(1)), 1.5);
    EXPECT_EQ(std::get<std::string>(*select.getValueFromColumn(2)), "hello");
    ASSERT_TRUE(select.getValueFromColumn(3).has_value()) << "an empty blob is not NULL";
    EXPECT_TRUE(std::get<std::vector<std::uint8_t>>(*select.getValueFromColumn(3)).empty());
    EXPECT_EQ(std::get<std::vector<std::uint8_t>>(*select.getValueFromColumn(4)), (std::vector<std::uint8_t>{0, 255}));
    EXPECT_FALSE(select.getValueFromColumn(5).has_value());
    EXPECT_FALSE(select.getValueFromColumn(17).has_value());
    EXPECT_FALSE(getValueFromColumn(select, 0).has_value()) << "too wide for int";
    EXPECT_EQ(select.executeStep(), QueryResult::Done);
}

TEST(SqliteQueryValues, RequireTypeAcceptsIntegersOfEitherWidth)
{
    EXPECT_EQ(requireType(PropertyValue{std::int64_t{4}}), 4);
    EXPECT_EQ(requireType(PropertyValue{std::int32_t{-3}}), -3);
    EXPECT_FALSE(requireType(PropertyValue{2.0}));
    EXPECT_FALSE(requireType(PropertyValue{std::string("4")}));
    EXPECT_FALSE(requireType(std::nullopt));
    EXPECT_EQ(std::get<std::string>(ReturnPropertyValueVisitor{}(std::vector<std::uint8_t>{'a', 'b'})), "ab");
}

TEST(SqliteQueryErrors, UnpreparableStatementFailsStepsAndRecordsCode)
{
    TempPath path("errors.db");
    SqliteDatabase database(path.str(), OpenMode::ReadWriteCreate);
    SqliteQuery broken(database, "SELECT nothing FROM nowhere;");
    EXPECT_FALSE(broken.isValid());
    EXPECT_EQ(broken.executeStep(), QueryResult::Error);
    EXPECT_EQ(database.getLastErrorCode(), 1);
    EXPECT_FALSE(database.executeSimpleQuery("NOT SQL"));
}

TEST(SqliteQueryErrors, ForeignKeyViolationReportsExtendedCode)
{
    TempPath path("fk.db");
    SqliteDatabase database(path.str(), OpenMode::ReadWriteCreate);
    database.executeSimpleQuery("PRAGMA foreign_keys = on;");
    database.executeSimpleQuery("CREATE TABLE p(id INTEGER PRIMARY KEY); CREATE TABLE c(p INT REFERENCES p(id));");
    SqliteQuery insert(database, "INSERT INTO c VALUES (:p);");
    insert.bindParameter(":p", 5);
    EXPECT_EQ(insert.executeStep(), QueryResult::Error);
    EXPECT_EQ(database.getLastErrorCode(), 787);
    // A later failure elsewhere on the connection (another thread's, say)
    // replaces the connection's code but not the statement's own.
    SqliteQuery broken(database, "SELECT nothing FROM nowhere;");
    EXPECT_EQ(database.getLastErrorCode(), 1);
    EXPECT_EQ(insert.getLastErrorCode(), 787);
    // The statement can be rebound and run again after a failure.
    database.executeSimpleQuery("INSERT INTO p VALUES (5);");
    insert.resetQuery();
    insert.bindParameter(":p", 5);
    EXPECT_EQ(insert.executeStep(), QueryResult::Done);
}

TEST(SqliteDatabaseThreads, ReaderAndWriterShareOneConnection)
{
    TempPath path("threads.db");
    SqliteDatabase database(path.str(), OpenMode::ReadWriteCreate);
    database.executeSimpleQuery("CREATE TABLE t(v INT);");
    std::atomic<bool> done{false};
    std::atomic<int> readFailures{0};
    std::thread reader([&] {
        while (!done) {
            SqliteQuery count(database, "SELECT COUNT(*) FROM t;");
            if (count.executeStep() != QueryResult::Row) {
                ++readFailures;
            }
        }
    });
    int writeFailures = 0;
    for (int i = 0; i < 300; ++i) {
        SqliteQuery insert(database, "INSERT INTO t VALUES (:v);");
        insert.bindParameter(":v", i);
        writeFailures += insert.executeStep() == QueryResult::Done ? 0 : 1;
    }
    done = true;
    reader.join();
    EXPECT_EQ(writeFailures, 0);
    EXPECT_EQ(readFailures, 0);
    SqliteQuery count(database, "SELECT COUNT(*) FROM t;");
    ASSERT_EQ(count.executeStep(), QueryResult::Row);
    EXPECT_EQ(std::get<std::int64_t>(*count.getValueFromColumn(0)), 300);
}
