#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Keldar::Navigation {

/// What one NMEA 0183 sentence told. Only the fields the sentence carries are
/// set; a sentence that cannot be trusted whole gives nothing at all.
struct NmeaFix
{
    std::string type;                // "GGA", "RMC", ... without the talker
    std::optional<double> latitude;  // degrees, north positive
    std::optional<double> longitude; // degrees, east positive
    std::optional<int> fixQuality;   // GGA's code; RMC/GLL "A" counts as 1
    std::optional<double> heading;   // degrees true, [0, 360)
    std::optional<double> course;    // degrees true over ground, [0, 360)
    std::optional<double> speed;     // metres per second over ground
    std::optional<double> variation; // degrees, east positive (HDG, RMC)
    std::optional<std::int64_t> utcMsOfDay;
    std::optional<std::int64_t> utcDateMs; // midnight of the day, ms since the Unix epoch
};

/// Sentences read and those refused, by reason.
struct NmeaCounters
{
    std::uint64_t accepted = 0;
    std::uint64_t badChecksum = 0;
    std::uint64_t truncated = 0;   // fewer fields than the type needs, or no checksum
    std::uint64_t invalidFix = 0;  // status V, quality 0, empty position
    std::uint64_t garbage = 0;     // not a sentence, bad characters, unreadable numbers
    std::uint64_t unsupported = 0; // a well-formed sentence of a type not used here

    [[nodiscard]] std::uint64_t ignored() const { return badChecksum + truncated + invalidFix + garbage + unsupported; }
};

enum class NmeaVerdict : std::uint8_t {
    Accepted,
    BadChecksum,
    Truncated,
    InvalidFix,
    Garbage,
    Unsupported,
};

struct NmeaResult
{
    NmeaVerdict verdict = NmeaVerdict::Garbage;
    NmeaFix fix; // set only when accepted
};

/// Parses one sentence, "$GPGGA,...*hh" with or without the line end. The
/// checksum is required and verified; any talker is accepted. Sentence types:
/// GGA, RMC, GLL, HDT, HDG (true heading from magnetic plus deviation and
/// variation), THS, VTG, ZDA.
NmeaResult parseNmea(std::string_view sentence);

/// parseNmea with counts kept.
class NmeaParser
{
public:
    std::optional<NmeaFix> parse(std::string_view sentence);
    [[nodiscard]] const NmeaCounters& counters() const { return counters_; }

private:
    NmeaCounters counters_;
};

/// "$" + body + "*hh\r\n" for a body without its "$" and checksum.
std::string withChecksum(std::string_view body);

} // namespace Keldar::Navigation
