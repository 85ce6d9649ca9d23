#include <keldar/sim/SonarImageGenerator.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Keldar::Sim {

namespace {

constexpr double halfApertureDegrees = 65.0;

// splitmix64: a cheap, well-mixed hash so that every sample's speckle is a pure
// function of (seed, frame, position) and images are reproducible.
std::uint64_t mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30U)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27U)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31U);
}

double unitFromHash(std::uint64_t h)
{
    // 53 random bits mapped to (0, 1]; never 0 so that log() stays finite.
    return (static_cast<double>(h >> 11U) + 1.0) / 9007199254740992.0;
}

double smoothstep(double edge0, double edge1, double x)
{
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

struct Hit {
    double echoStart;
    double echoEnd;
    double shadowEnd;
    double strength;
};

}  // namespace

SonarImageGenerator::SonarImageGenerator(std::uint32_t seedValue)
    : seed(seedValue)
{
    std::uint64_t state = mix(seedValue);
    auto next = [&state] {
        state = mix(state);
        return unitFromHash(state);
    };

    // Point targets and rocks spread over distances from about 1 m to 150 m,
    // each sized in proportion to its distance so that some stand out at any
    // range setting.
    for (double distance = 1.2; distance < 160.0; distance *= 1.55) {
        Target t{};
        t.distance = distance * (0.85 + 0.3 * next());
        t.angle = (next() * 2.0 - 1.0) * 0.9;
        t.radius = t.distance * (0.012 + 0.03 * next());
        t.height = 0.4 + 0.6 * next();
        t.strength = 0.6 + 0.4 * next();
        t.swing = 0.03 + 0.08 * next();
        t.period = 40.0 + 80.0 * next();
        targets.push_back(t);
    }

    // Extended targets: straight chains of touching circles (a pipe or a wall)
    // crossing the field at a few distances.
    for (const double distance : {2.2, 9.0, 35.0, 110.0}) {
        const double d = distance * (0.9 + 0.2 * next());
        const double heading = (next() * 2.0 - 1.0) * 0.6;
        const double radius = d * 0.01;
        const double halfLength = d * 0.45;
        const double swing = 0.01 + 0.02 * next();
        const double period = 60.0 + 60.0 * next();
        for (double s = -halfLength; s <= halfLength; s += radius * 1.5) {
            const double x = d * std::sin(heading) + s * std::cos(heading);
            const double y = d * std::cos(heading) - s * std::sin(heading);
            Target t{};
            t.distance = std::hypot(x, y);
            t.angle = std::atan2(x, y);
            t.radius = radius;
            t.height = 0.5;
            t.strength = 0.55;
            t.swing = swing;
            t.period = period;
            targets.push_back(t);
        }
    }
}

std::vector<std::int16_t> SonarImageGenerator::makeBearings(std::uint16_t beams)
{
    std::vector<std::int16_t> bearings(beams);
    const double span = 2.0 * halfApertureDegrees * 100.0;
    for (std::size_t i = 0; i < beams; ++i) {
        const double fraction = beams > 1 ? static_cast<double>(i) / (beams - 1) : 0.5;
        bearings[i] = static_cast<std::int16_t>(std::lround(-halfApertureDegrees * 100.0 + span * fraction));
    }
    return bearings;
}

SonarImage SonarImageGenerator::generate(std::uint16_t beams, std::uint16_t ranges, double rangeMetres,
                                         double gainPercent, double timeSeconds) const
{
    SonarImage image;
    image.bearings = makeBearings(beams);
    image.samples.assign(static_cast<std::size_t>(beams) * ranges, 0);
    if (beams == 0 || ranges == 0 || !(rangeMetres > 0.0)) {
        return image;
    }

    const double gain = std::clamp(std::isfinite(gainPercent) ? gainPercent : 50.0, 0.0, 100.0);
    // About 20 dB either side of the middle setting.
    const double gainFactor = std::pow(10.0, (gain - 50.0) / 50.0);
    const double time = std::isfinite(timeSeconds) ? timeSeconds : 0.0;
    // Speckle decorrelates ten times a second, like a moving platform.
    const auto frame = static_cast<std::uint64_t>(static_cast<std::int64_t>(std::floor(time * 10.0)));
    const std::uint64_t frameKey = mix(mix(seed) ^ frame);
    const double rowMetres = rangeMetres / ranges;

    // Where each target sits now.
    struct Placed {
        double x, y, radius, height, strength;
    };
    std::vector<Placed> placed;
    placed.reserve(targets.size());
    for (const Target& t : targets) {
        const double angle = t.angle + t.swing * std::sin(2.0 * std::numbers::pi * time / t.period);
        placed.push_back({t.distance * std::sin(angle), t.distance * std::cos(angle), t.radius, t.height, t.strength});
    }

    std::vector<Hit> hits;
    std::vector<double> column(ranges);
    for (std::size_t b = 0; b < beams; ++b) {
        const double theta = image.bearings[b] / 100.0 * std::numbers::pi / 180.0;
        const double ux = std::sin(theta);
        const double uy = std::cos(theta);

        hits.clear();
        for (const Placed& p : placed) {
            const double along = p.x * ux + p.y * uy;
            if (along <= 0.0) {
                continue;
            }
            const double across = std::abs(p.x * uy - p.y * ux);
            if (across >= p.radius) {
                continue;
            }
            const double halfChord = std::sqrt(p.radius * p.radius - across * across);
            const double start = along - halfChord;
            if (start > rangeMetres) {
                continue;
            }
            // Brighter at the centre of the target than at its flanks.
            const double edge = 1.0 - (across / p.radius) * (across / p.radius);
            hits.push_back({start, along + halfChord * 0.2, along + halfChord + 0.15 * along * p.height,
                            p.strength * (0.5 + 0.5 * edge)});
        }

        for (std::size_t r = 0; r < ranges; ++r) {
            const double dist = (static_cast<double>(r) + 0.5) * rowMetres;
            const double x = dist * ux;
            const double y = dist * uy;

            // Bed return rising with range, with sand ripples fixed in the
            // scene so that they drift with it rather than with the image.
            const double rise = smoothstep(0.04, 0.65, dist / rangeMetres);
            const double wave = rangeMetres / 14.0;
            const double ripples = 0.75 + 0.25 * std::sin(x / wave * 2.1 + std::sin(y / wave * 0.7))
                                              * std::cos(y / wave * 1.3);
            double intensity = 0.03 + 0.5 * rise * ripples;

            for (const Hit& h : hits) {
                if (dist >= h.echoStart && dist <= h.echoEnd) {
                    intensity += 0.9 * h.strength;
                } else if (dist > h.echoEnd && dist <= h.shadowEnd) {
                    intensity = std::min(intensity, 0.03 + 0.05 * rise);
                }
            }

            // Fully developed speckle: exponentially distributed intensity,
            // softened so that the scene stays recognisable.
            const std::uint64_t h = mix(frameKey ^ (static_cast<std::uint64_t>(b) << 32U) ^ r);
            const double speckle = 0.45 + 0.55 * -std::log(unitFromHash(h));
            column[r] = intensity * speckle;
        }

        for (std::size_t r = 0; r < ranges; ++r) {
            const double out = 255.0 * (1.0 - std::exp(-1.6 * column[r] * gainFactor));
            image.samples[r * beams + b] = static_cast<std::uint8_t>(std::clamp(std::lround(out), 0L, 255L));
        }
    }
    return image;
}

}  // namespace Keldar::Sim
