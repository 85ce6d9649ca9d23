#include <keldar/core/Chrono.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

using Keldar::Chrono::getDateTimeString;
using Keldar::Chrono::isKnownTimeZone;
using Keldar::Chrono::msSinceUnixEpoch;

namespace {
constexpr std::int64_t summerInstant = 1720096496789; // 2024-07-04 12:34:56.789 UTC
constexpr std::int64_t winterInstant = 1705320000000; // 2024-01-15 12:00:00.000 UTC
} // namespace

TEST(MsSinceUnixEpoch, AgreesWithSystemClock)
{
    const auto before =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    const auto now = msSinceUnixEpoch();
    const auto after =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
    // Milliseconds, not seconds or microseconds: a date after 2020 and before 2100.
    EXPECT_GT(now, 1577836800000);
    EXPECT_LT(now, 4102444800000);
}

TEST(DateTimeString, FormatsInUtc)
{
    EXPECT_EQ(getDateTimeString("%Y-%m-%d %H:%M", summerInstant, "UTC"), "2024-07-04 12:34");
    EXPECT_EQ(getDateTimeString("%Y%m%d_%H%M%S", winterInstant, "UTC"), "20240115_120000.000");
}

TEST(DateTimeString, SecondsCarryMilliseconds)
{
    EXPECT_EQ(getDateTimeString("%S", summerInstant, "UTC"), "56.789");
}

TEST(DateTimeString, NamedZoneFollowsDaylightSaving)
{
    EXPECT_EQ(getDateTimeString("%Y-%m-%d %H:%M %Z", summerInstant, "America/New_York"), "2024-07-04 08:34 EDT");
    EXPECT_EQ(getDateTimeString("%H:%M %z", winterInstant, "America/New_York"), "07:00 -0500");
}

TEST(DateTimeString, InstantsBeforeTheEpoch)
{
    EXPECT_EQ(getDateTimeString("%Y-%m-%d %H:%M", -1000, "UTC"), "1969-12-31 23:59");
}

TEST(DateTimeString, EmptyZoneUsesLocalZone)
{
    // The local zone is whatever this machine has; it must at least produce a
    // date of the right day give or take the largest zone offsets.
    const auto text = getDateTimeString("%Y-%m", summerInstant, "");
    EXPECT_EQ(text, "2024-07");
    EXPECT_NE(getDateTimeString("%H", summerInstant, ""), "Invalid timezone");
}

TEST(DateTimeString, UnknownZoneIsReported)
{
    EXPECT_EQ(getDateTimeString("%Y", summerInstant, "Mars/Olympus_Mons"), "Invalid timezone");
    EXPECT_EQ(getDateTimeString("%Y", summerInstant, "../../etc/passwd"), "Invalid timezone");
    EXPECT_FALSE(isKnownTimeZone("Mars/Olympus_Mons"));
    EXPECT_FALSE(isKnownTimeZone("../../etc/passwd"));
    EXPECT_FALSE(isKnownTimeZone(""));
    EXPECT_TRUE(isKnownTimeZone("Asia/Tokyo"));
    EXPECT_TRUE(isKnownTimeZone("Etc/GMT-5"));
}
