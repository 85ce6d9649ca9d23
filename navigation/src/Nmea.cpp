#include <keldar/navigation/Nmea.h>

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace Keldar::Navigation {

namespace {

constexpr double knotsToMetresPerSecond = 1852.0 / 3600.0;
// The longest sentence the standard allows is 82 characters; anything much
// longer is not NMEA 0183.
constexpr std::size_t longestSentence = 200;

// A field that is present but unreadable is garbage; an empty one is absent.
struct Bad
{
    NmeaVerdict verdict;
};

using Fields = std::vector<std::string_view>;

std::optional<double> number(std::string_view text)
{
    if (text.empty()) {
        return std::nullopt;
    }
    double value = 0;
    const auto* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || !std::isfinite(value)) {
        throw Bad{NmeaVerdict::Garbage};
    }
    return value;
}

std::optional<int> integer(std::string_view text)
{
    if (text.empty()) {
        return std::nullopt;
    }
    int value = 0;
    const auto* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end) {
        throw Bad{NmeaVerdict::Garbage};
    }
    return value;
}

// "ddmm.mmmm" or "dddmm.mmmm" with its hemisphere letter.
std::optional<double> angle(std::string_view value, std::string_view hemisphere, double limit, char positive,
                            char negative)
{
    const auto raw = number(value);
    if (!raw) {
        return std::nullopt;
    }
    if (*raw < 0 || hemisphere.size() != 1 || (hemisphere[0] != positive && hemisphere[0] != negative)) {
        throw Bad{NmeaVerdict::Garbage};
    }
    const double degrees = std::floor(*raw / 100.0);
    const double minutes = *raw - degrees * 100.0;
    const double result = degrees + minutes / 60.0;
    if (minutes >= 60.0 || result > limit) {
        throw Bad{NmeaVerdict::Garbage};
    }
    return hemisphere[0] == positive ? result : -result;
}

// "hhmmss.ss" as milliseconds of the day.
std::optional<std::int64_t> timeOfDay(std::string_view text)
{
    const auto raw = number(text);
    if (!raw) {
        return std::nullopt;
    }
    // Checked before the conversion: a double beyond the integer's range
    // does not convert.
    if (*raw < 0 || *raw >= 240000.0) {
        throw Bad{NmeaVerdict::Garbage};
    }
    const auto whole = static_cast<std::int64_t>(*raw);
    const std::int64_t hours = whole / 10000;
    const std::int64_t minutes = whole / 100 % 100;
    const double seconds = *raw - static_cast<double>(hours * 10000 + minutes * 100);
    // 60 allows a leap second.
    if (*raw < 0 || text.size() < 6 || hours > 23 || minutes > 59 || seconds >= 61.0) {
        throw Bad{NmeaVerdict::Garbage};
    }
    return (hours * 3600 + minutes * 60) * 1000 + std::llround(seconds * 1000.0);
}

std::int64_t midnight(int year, int month, int day)
{
    using namespace std::chrono;
    const year_month_day date{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                              std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok()) {
        throw Bad{NmeaVerdict::Garbage};
    }
    return duration_cast<milliseconds>(sys_days(date).time_since_epoch()).count();
}

double direction(double degrees)
{
    const double wrapped = std::fmod(degrees, 360.0);
    return wrapped < 0 ? wrapped + 360.0 : wrapped;
}

std::optional<double> checkedDirection(std::string_view text)
{
    const auto value = number(text);
    if (value && (*value < 0 || *value > 360.0)) {
        throw Bad{NmeaVerdict::Garbage};
    }
    return value ? std::optional(direction(*value)) : std::nullopt;
}

double signedBy(double value, std::string_view letter)
{
    if (letter == "E") {
        return value;
    }
    if (letter == "W") {
        return -value;
    }
    throw Bad{NmeaVerdict::Garbage};
}

void need(const Fields& fields, std::size_t count)
{
    if (fields.size() < count) {
        throw Bad{NmeaVerdict::Truncated};
    }
}

void invalidUnless(bool condition)
{
    if (!condition) {
        throw Bad{NmeaVerdict::InvalidFix};
    }
}

void position(NmeaFix& fix, const Fields& f, std::size_t at)
{
    fix.latitude = angle(f[at], f[at + 1], 90.0, 'N', 'S');
    fix.longitude = angle(f[at + 2], f[at + 3], 180.0, 'E', 'W');
    invalidUnless(fix.latitude && fix.longitude);
}

// Mode indicator of NMEA 2.3 and later: N (not valid) and E (estimated)
// are not fixes.
void checkMode(const Fields& f, std::size_t at)
{
    if (f.size() > at && !f[at].empty()) {
        invalidUnless(f[at] != "N" && f[at] != "E");
    }
}

// f[0] is the first field after the address.
void parseBody(std::string_view type, const Fields& f, NmeaFix& fix)
{
    if (type == "GGA") {
        need(f, 14);
        fix.utcMsOfDay = timeOfDay(f[0]);
        fix.fixQuality = integer(f[5]);
        invalidUnless(fix.fixQuality && *fix.fixQuality > 0 && *fix.fixQuality <= 8);
        position(fix, f, 1);
    } else if (type == "RMC") {
        need(f, 11);
        fix.utcMsOfDay = timeOfDay(f[0]);
        invalidUnless(f[1] == "A");
        checkMode(f, 11);
        position(fix, f, 2);
        fix.fixQuality = 1;
        if (const auto knots = number(f[6])) {
            fix.speed = *knots * knotsToMetresPerSecond;
        }
        fix.course = checkedDirection(f[7]);
        if (!f[8].empty()) {
            if (f[8].size() != 6) {
                throw Bad{NmeaVerdict::Garbage};
            }
            const int ddmmyy = *integer(f[8]);
            const int yy = ddmmyy % 100;
            fix.utcDateMs = midnight(yy < 80 ? 2000 + yy : 1900 + yy, ddmmyy / 100 % 100, ddmmyy / 10000);
        }
        if (const auto variation = number(f[9])) {
            fix.variation = signedBy(*variation, f[10]);
        }
    } else if (type == "GLL") {
        need(f, 6);
        fix.utcMsOfDay = timeOfDay(f[4]);
        invalidUnless(f[5] == "A");
        checkMode(f, 6);
        position(fix, f, 0);
        fix.fixQuality = 1;
    } else if (type == "HDT") {
        need(f, 2);
        if (f[1] != "T" && !f[1].empty()) {
            throw Bad{NmeaVerdict::Garbage};
        }
        fix.heading = checkedDirection(f[0]);
        invalidUnless(fix.heading.has_value());
    } else if (type == "THS") {
        need(f, 2);
        fix.heading = checkedDirection(f[0]);
        // A autonomous, E estimated (dead reckoning), M manual, S simulator;
        // V is not valid.
        invalidUnless(fix.heading.has_value() && f[1] != "V" && !f[1].empty());
    } else if (type == "HDG") {
        need(f, 5);
        const auto magnetic = checkedDirection(f[0]);
        const auto deviation = number(f[1]);
        const auto variation = number(f[3]);
        // Without variation the heading is magnetic only: no true heading.
        invalidUnless(magnetic && variation);
        fix.variation = signedBy(*variation, f[4]);
        const double deviationEast = deviation ? signedBy(*deviation, f[2]) : 0.0;
        fix.heading = direction(*magnetic + deviationEast + *fix.variation);
    } else if (type == "VTG") {
        need(f, 8);
        checkMode(f, 8);
        fix.course = checkedDirection(f[0]);
        if (const auto knots = number(f[4])) {
            fix.speed = *knots * knotsToMetresPerSecond;
        } else if (const auto kmh = number(f[6])) {
            fix.speed = *kmh / 3.6;
        }
        invalidUnless(fix.speed.has_value());
        if (*fix.speed < 0) {
            throw Bad{NmeaVerdict::Garbage};
        }
    } else if (type == "ZDA") {
        need(f, 6);
        fix.utcMsOfDay = timeOfDay(f[0]);
        const auto day = integer(f[1]);
        const auto month = integer(f[2]);
        const auto year = integer(f[3]);
        invalidUnless(fix.utcMsOfDay && day && month && year);
        fix.utcDateMs = midnight(*year, *month, *day);
    } else {
        throw Bad{NmeaVerdict::Unsupported};
    }
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

} // namespace

NmeaResult parseNmea(std::string_view sentence)
{
    while (!sentence.empty() && (sentence.back() == '\n' || sentence.back() == '\r')) {
        sentence.remove_suffix(1);
    }
    if (sentence.size() > longestSentence || sentence.empty() || sentence[0] != '$') {
        return {NmeaVerdict::Garbage, {}};
    }
    for (const char c : sentence) {
        if (c < 0x20 || c > 0x7e) {
            return {NmeaVerdict::Garbage, {}};
        }
    }
    const auto star = sentence.rfind('*');
    if (star == std::string_view::npos || sentence.size() < star + 3) {
        return {NmeaVerdict::Truncated, {}};
    }
    if (sentence.size() > star + 3) {
        return {NmeaVerdict::Garbage, {}};
    }
    const int high = hexDigit(sentence[star + 1]);
    const int low = hexDigit(sentence[star + 2]);
    if (high < 0 || low < 0) {
        return {NmeaVerdict::Garbage, {}};
    }
    const std::string_view body = sentence.substr(1, star - 1);
    unsigned sum = 0;
    for (const char c : body) {
        sum ^= static_cast<unsigned char>(c);
    }
    if (sum != static_cast<unsigned>(high * 16 + low)) {
        return {NmeaVerdict::BadChecksum, {}};
    }
    if (body.find('*') != std::string_view::npos || body.find('$') != std::string_view::npos) {
        return {NmeaVerdict::Garbage, {}};
    }
    Fields fields;
    std::size_t start = 0;
    while (true) {
        const auto comma = body.find(',', start);
        fields.push_back(body.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    const std::string_view address = fields.front();
    if (address.size() != 5) {
        return {address.size() > 1 && address[0] == 'P' ? NmeaVerdict::Unsupported : NmeaVerdict::Garbage, {}};
    }
    for (const char c : address) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
            return {NmeaVerdict::Garbage, {}};
        }
    }
    NmeaResult result{NmeaVerdict::Accepted, {}};
    result.fix.type = std::string(address.substr(2));
    fields.erase(fields.begin());
    try {
        parseBody(result.fix.type, fields, result.fix);
    } catch (const Bad& bad) {
        return {bad.verdict, {}};
    }
    return result;
}

std::optional<NmeaFix> NmeaParser::parse(std::string_view sentence)
{
    auto result = parseNmea(sentence);
    switch (result.verdict) {
    case NmeaVerdict::Accepted:
        ++counters_.accepted;
        return std::move(result.fix);
    case NmeaVerdict::BadChecksum:
        ++counters_.badChecksum;
        break;
    case NmeaVerdict::Truncated:
        ++counters_.truncated;
        break;
    case NmeaVerdict::InvalidFix:
        ++counters_.invalidFix;
        break;
    case NmeaVerdict::Garbage:
        ++counters_.garbage;
        break;
    case NmeaVerdict::Unsupported:
        ++counters_.unsupported;
        break;
    }
    return std::nullopt;
}

std::string withChecksum(std::string_view body)
{
    unsigned sum = 0;
    for (const char c : body) {
        sum ^= static_cast<unsigned char>(c);
    }
    std::array<char, 8> tail{};
    std::snprintf(tail.data(), tail.size(), "*%02X\r\n", sum & 0xffU);
    return "$" + std::string(body) + tail.data();
}

} // namespace Keldar::Navigation
