#include <keldar/navigation/NavigationState.h>
#include <keldar/navigation/Nmea.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace Keldar::Navigation;

namespace {

struct Case
{
    const char* name;
    std::string sentence;
    NmeaVerdict verdict;
};

std::string sealed(const std::string& body)
{
    return withChecksum(body);
}

std::string flipChecksum(std::string sentence)
{
    auto at = sentence.find('*') + 2;
    sentence[at] = sentence[at] == '0' ? '1' : '0';
    return sentence;
}

} // namespace

// Every sentence type, well formed and broken: only whole, valid sentences
// give anything, and each refusal has its reason.
TEST(NmeaSentences, EachTypeGoodAndBroken)
{
    const std::string gga = sealed("GPGGA,123519.50,6000.000,N,01042.000,E,1,08,0.9,545.4,M,46.9,M,,");
    const std::vector<Case> cases{
        {"GGA", gga, NmeaVerdict::Accepted},
        {"GGA other talker", sealed("GNGGA,123519,6000.000,N,01042.000,E,4,08,0.9,545.4,M,46.9,M,,"),
         NmeaVerdict::Accepted},
        {"GGA bad checksum", flipChecksum(gga), NmeaVerdict::BadChecksum},
        {"GGA cut short", gga.substr(0, 30), NmeaVerdict::Truncated},
        {"GGA too few fields", sealed("GPGGA,123519,6000.000,N,01042.000,E,1"), NmeaVerdict::Truncated},
        {"GGA no fix", sealed("GPGGA,123519,6000.000,N,01042.000,E,0,00,,,M,,M,,"), NmeaVerdict::InvalidFix},
        {"GGA empty position", sealed("GPGGA,123519,,,,,1,08,0.9,545.4,M,46.9,M,,"), NmeaVerdict::InvalidFix},
        {"GGA garbage number", sealed("GPGGA,123519,60x0.000,N,01042.000,E,1,08,0.9,545.4,M,46.9,M,,"),
         NmeaVerdict::Garbage},
        {"GGA minutes over 60", sealed("GPGGA,123519,6075.000,N,01042.000,E,1,08,0.9,545.4,M,46.9,M,,"),
         NmeaVerdict::Garbage},
        {"GGA binary byte",
         "$GPGGA,12\x01"
         "519*00",
         NmeaVerdict::Garbage},
        {"RMC", sealed("GPRMC,123519,A,6000.000,N,01042.000,E,003.9,084.4,081226,003.1,W,A"), NmeaVerdict::Accepted},
        {"RMC void", sealed("GPRMC,123519,V,6000.000,N,01042.000,E,003.9,084.4,081226,003.1,W"),
         NmeaVerdict::InvalidFix},
        {"RMC bad date", sealed("GPRMC,123519,A,6000.000,N,01042.000,E,003.9,084.4,321326,003.1,W"),
         NmeaVerdict::Garbage},
        {"GLL", sealed("GPGLL,6000.000,N,01042.000,E,123519,A,A"), NmeaVerdict::Accepted},
        {"GLL void", sealed("GPGLL,6000.000,N,01042.000,E,123519,V,N"), NmeaVerdict::InvalidFix},
        {"HDT", sealed("HEHDT,271.5,T"), NmeaVerdict::Accepted},
        {"HDT empty", sealed("HEHDT,,T"), NmeaVerdict::InvalidFix},
        {"HDT out of range", sealed("HEHDT,371.5,T"), NmeaVerdict::Garbage},
        {"HDG", sealed("IIHDG,100.0,1.5,E,2.0,W"), NmeaVerdict::Accepted},
        {"HDG without variation", sealed("IIHDG,100.0,1.5,E,,"), NmeaVerdict::InvalidFix},
        {"THS", sealed("INTHS,045.25,A"), NmeaVerdict::Accepted},
        {"THS not valid", sealed("INTHS,045.25,V"), NmeaVerdict::InvalidFix},
        {"VTG", sealed("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A"), NmeaVerdict::Accepted},
        {"VTG no data", sealed("GPVTG,,T,,M,,N,,K,N"), NmeaVerdict::InvalidFix},
        {"ZDA", sealed("GPZDA,201530.00,04,07,2026,00,00"), NmeaVerdict::Accepted},
        {"ZDA bad month", sealed("GPZDA,201530.00,04,13,2026,00,00"), NmeaVerdict::Garbage},
        {"unknown type", sealed("GPGSV,3,1,11,03,03,111,00"), NmeaVerdict::Unsupported},
        {"no dollar", "GPHDT,271.5,T*00", NmeaVerdict::Garbage},
        {"no checksum", "$HEHDT,271.5,T", NmeaVerdict::Truncated},
        {"bytes after checksum", sealed("HEHDT,271.5,T").substr(0, 17) + "zz", NmeaVerdict::Garbage},
        {"bad address", sealed("G!HDT,271.5,T"), NmeaVerdict::Garbage},
    };
    NmeaParser parser;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = parseNmea(c.sentence);
        EXPECT_EQ(result.verdict, c.verdict);
        if (result.verdict != NmeaVerdict::Accepted) {
            // Never half-used: a refused sentence carries nothing.
            EXPECT_FALSE(result.fix.latitude || result.fix.heading || result.fix.speed || result.fix.utcMsOfDay);
        }
        EXPECT_EQ(parser.parse(c.sentence).has_value(), c.verdict == NmeaVerdict::Accepted);
    }
    const auto& counts = parser.counters();
    EXPECT_EQ(counts.accepted, 9U);
    EXPECT_EQ(counts.badChecksum, 1U);
    EXPECT_EQ(counts.truncated, 3U);
    EXPECT_EQ(counts.invalidFix, 8U);
    EXPECT_EQ(counts.garbage, 9U);
    EXPECT_EQ(counts.unsupported, 1U);
}

TEST(NmeaSentences, ValuesAreReadInSiUnitsAndTrueDegrees)
{
    auto gga = parseNmea(sealed("GPGGA,123519.50,6000.300,S,01042.600,W,2,08,0.9,545.4,M,46.9,M,,")).fix;
    EXPECT_NEAR(*gga.latitude, -60.005, 1e-9);
    EXPECT_NEAR(*gga.longitude, -10.71, 1e-9);
    EXPECT_EQ(*gga.fixQuality, 2);
    EXPECT_EQ(*gga.utcMsOfDay, (12 * 3600 + 35 * 60 + 19) * 1000 + 500);

    auto rmc = parseNmea(sealed("GPRMC,123519,A,6000.000,N,01042.000,E,010.0,084.4,081226,003.1,W,A")).fix;
    EXPECT_NEAR(*rmc.speed, 10.0 * 1852.0 / 3600.0, 1e-9);
    EXPECT_NEAR(*rmc.course, 84.4, 1e-9);
    EXPECT_NEAR(*rmc.variation, -3.1, 1e-9);
    EXPECT_EQ(*rmc.utcDateMs, 1796688000000LL); // 2026-12-08

    // Magnetic 100 + deviation 1.5 E + variation 2.0 W.
    EXPECT_NEAR(*parseNmea(sealed("IIHDG,100.0,1.5,E,2.0,W")).fix.heading, 99.5, 1e-9);
    EXPECT_NEAR(*parseNmea(sealed("IIHDG,359.0,0,E,3.0,E")).fix.heading, 2.0, 1e-9);
    EXPECT_NEAR(*parseNmea(sealed("GPVTG,054.7,T,034.4,M,,N,036.0,K,A")).fix.speed, 10.0, 1e-9);

    // A ZDA gives the date that makes RMC/GGA times into full times.
    NavigationState state;
    state.apply(parseNmea(sealed("GPZDA,201530.00,04,07,2026,00,00")).fix, 5);
    state.apply(parseNmea(sealed("GPGGA,201531.25,6000.000,N,01042.000,E,1,08,0.9,545.4,M,46.9,M,,")).fix, 10);
    ASSERT_TRUE(state.utcMs.has_value());
    EXPECT_EQ(state.utcMs->value, 1783196131250LL); // 2026-07-04T20:15:31.25Z
    EXPECT_EQ(*state.positionAgeMs(2010), 2000);
}
