#include <keldar/sim/SonarImageGenerator.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <tuple>
#include <utility>

namespace Keldar::Sim {

namespace {

constexpr double halfApertureDegrees = 65.0;

// Levels are worked out in dB relative to the strongest bed return and mapped
// to counts at the end, the way a sonar log-compresses its samples.
constexpr double countsPerDb = 255.0 / 50.0; // 50 dB of display range
constexpr double bedCounts = 82.0;           // bed peak at the middle gain, before speckle
constexpr double gainDbPerPercent = 0.4;     // 20 dB either side of the middle setting
constexpr double waterDb = -19.0;            // empty water: the noise floor
constexpr double shadowDb = -17.0;           // a shadow is noise plus a little multipath
constexpr double bedOnset = 0.14;            // fraction of the range where the bed comes in
constexpr double targetSpeckle = 0.45;       // strong echoes fluctuate less than the bed
constexpr double sidelobeReach = 1.8;        // how far across a round echo smears, in radii

constexpr int textureBits = 8;
constexpr int textureSize = 1 << textureBits;
constexpr int textureMask = textureSize - 1;
constexpr double textureCellsPerRange = 110.0;
constexpr unsigned speckleBits = 12;

// splitmix64: a cheap, well-mixed hash so that the scene and the speckle are
// pure functions of the seed and images are reproducible.
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

double toDb(double amplitude)
{
    return 20.0 * std::log10(std::max(amplitude, 1e-4));
}

// Tiling value noise: random lattice values at the given spacings, smoothly
// interpolated and summed, scaled to unit standard deviation.
std::vector<double> fractalNoise(std::uint64_t key, std::initializer_list<std::pair<int, double>> octaves)
{
    std::vector<double> field(static_cast<std::size_t>(textureSize) * textureSize, 0.0);
    for (const auto& [spacing, weight] : octaves) {
        const int cells = textureSize / spacing;
        std::vector<double> lattice(static_cast<std::size_t>(cells) * cells);
        for (double& v : lattice) {
            key = mix(key);
            v = unitFromHash(key) * 2.0 - 1.0;
        }
        auto at = [&](int i, int j) { return lattice[static_cast<std::size_t>((j % cells) * cells + (i % cells))]; };
        for (int y = 0; y < textureSize; ++y) {
            const int j = y / spacing;
            const double fy = smoothstep(0.0, 1.0, static_cast<double>(y % spacing) / spacing);
            for (int x = 0; x < textureSize; ++x) {
                const int i = x / spacing;
                const double fx = smoothstep(0.0, 1.0, static_cast<double>(x % spacing) / spacing);
                const double top = at(i, j) + (at(i + 1, j) - at(i, j)) * fx;
                const double bottom = at(i, j + 1) + (at(i + 1, j + 1) - at(i, j + 1)) * fx;
                field[static_cast<std::size_t>(y * textureSize + x)] += weight * (top + (bottom - top) * fy);
            }
        }
    }
    double sum = 0.0;
    double squares = 0.0;
    for (const double v : field) {
        sum += v;
        squares += v * v;
    }
    const double n = static_cast<double>(field.size());
    const double average = sum / n;
    const double spread = std::sqrt(std::max(squares / n - average * average, 1e-12));
    for (double& v : field) {
        v = (v - average) / spread;
    }
    return field;
}

// What one beam meets: an echo from `echoStart` to `faceEnd` at `faceDb`, a
// weaker top surface to `echoEnd` at `topDb`, then a shadow to `shadowEnd`.
struct Hit
{
    double echoStart;
    double faceEnd;
    double echoEnd;
    double shadowEnd;
    double faceDb;
    double topDb;
};

} // namespace

SonarImageGenerator::SonarImageGenerator(std::uint32_t seedValue)
    : seed(seedValue)
{
    std::uint64_t state = mix(seedValue);
    auto next = [&state] {
        state = mix(state);
        return unitFromHash(state);
    };

    // Round objects from about 1 m to 170 m, sized in proportion to their
    // distance so that some stand out at any range setting.
    for (double distance = 1.0; distance < 170.0; distance *= 1.35) {
        for (int k = 0; k < 2; ++k) {
            Target t{};
            t.distance = distance * (0.85 + 0.3 * next());
            t.angle = (next() * 2.0 - 1.0) * 1.0;
            t.radius = t.distance * (0.01 + 0.02 * next());
            t.shadow = 0.04 + 0.1 * next();
            t.strength = 13.0 + 9.0 * next();
            t.swing = 0.01 + 0.03 * next();
            t.period = 40.0 + 80.0 * next();
            targets.push_back(t);
        }
    }

    // Long and boxy objects: pipes crossing the field and blocks, alternating.
    bool pipe = next() < 0.5;
    for (double distance = 1.6; distance < 170.0; distance *= 1.6) {
        Slab s{};
        s.distance = distance * (0.9 + 0.2 * next());
        s.angle = (next() * 2.0 - 1.0) * 0.5;
        s.swing = 0.005 + 0.015 * next();
        s.period = 50.0 + 70.0 * next();
        if (pipe) {
            // Long side roughly across the beams.
            s.heading = std::numbers::pi / 2.0 + (next() * 2.0 - 1.0) * 0.6;
            s.halfLength = s.distance * (0.2 + 0.15 * next());
            s.halfWidth = s.distance * 0.006;
            s.shadow = 0.03 + 0.02 * next();
            s.strength = 15.0 + 4.0 * next();
            s.top = 4.0;
        } else {
            s.heading = next() * std::numbers::pi;
            s.halfLength = s.distance * (0.025 + 0.025 * next());
            s.halfWidth = s.distance * (0.015 + 0.015 * next());
            s.shadow = 0.1 + 0.1 * next();
            s.strength = 17.0 + 5.0 * next();
            s.top = 3.0;
        }
        slabs.push_back(s);
        pipe = !pipe;
    }

    // Bed texture in dB: broad patches of a few dB, plus rocky outcrops where a
    // second, finer field is high.
    const std::vector<double> broad =
        fractalNoise(mix(state ^ 0x51ULL), {{64, 1.0}, {32, 0.6}, {16, 0.4}, {8, 0.3}, {4, 0.2}});
    const std::vector<double> rocks =
        fractalNoise(mix(state ^ 0x52ULL), {{32, 0.6}, {16, 1.0}, {8, 0.7}, {4, 0.5}, {2, 0.35}});
    texture.resize(broad.size());
    for (std::size_t i = 0; i < broad.size(); ++i) {
        texture[i] = static_cast<float>(2.5 * broad[i] + 9.0 * smoothstep(1.1, 1.9, rocks[i]));
    }

    // Rayleigh amplitude (single-look, unit mean power) in dB, taken at evenly
    // spaced quantiles so that the table follows the distribution exactly.
    speckle.resize(std::size_t{1} << speckleBits);
    for (std::size_t i = 0; i < speckle.size(); ++i) {
        const double p = (static_cast<double>(i) + 0.5) / static_cast<double>(speckle.size());
        speckle[i] = static_cast<float>(10.0 * std::log10(-std::log1p(-p)));
    }
    for (std::size_t i = speckle.size() - 1; i > 0; --i) {
        state = mix(state);
        std::swap(speckle[i], speckle[state % (i + 1)]);
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
    if (beams == 0 || ranges == 0 || !(rangeMetres > 0.0) || !std::isfinite(rangeMetres)) {
        return image;
    }

    const double gain = std::clamp(std::isfinite(gainPercent) ? gainPercent : 50.0, 0.0, 100.0);
    const double time = std::isfinite(timeSeconds) ? timeSeconds : 0.0;
    // Speckle decorrelates ten times a second, like a platform that is never
    // quite still.
    // (Clamped first: converting an out-of-range double to an integer is undefined.)
    const double tick = std::clamp(std::floor(time * 10.0), -1e18, 1e18);
    const auto frame = static_cast<std::uint64_t>(static_cast<std::int64_t>(tick));
    const std::uint64_t frameKey = mix(mix(seed) ^ frame);
    const double rowMetres = rangeMetres / ranges;
    const double twoPi = 2.0 * std::numbers::pi;

    // The vehicle yaws slowly, turning the whole scene under the fan.
    const double yaw = 0.09 * std::sin(twoPi * time / 60.0) + 0.02 * std::sin(twoPi * time / 23.0 + 1.0);

    // Bed strength by range: comes in past the water column, peaks, then
    // fades gently towards the far edge. The texture only marks the bed.
    std::vector<float> bedByRow(ranges);
    std::vector<float> waterByRow(ranges);
    for (std::size_t r = 0; r < ranges; ++r) {
        const double f = (static_cast<double>(r) + 0.5) / ranges;
        const double rise = smoothstep(bedOnset, bedOnset + 0.25, f);
        const double fade = 1.0 - 0.55 * smoothstep(0.45, 1.05, f);
        bedByRow[r] = static_cast<float>(toDb(rise * fade));
        // Transmit ring-down fading within the first few per cent.
        waterByRow[r] = static_cast<float>(waterDb + 14.0 * std::exp(-f / 0.012));
    }

    struct Placed
    {
        double x, y, radius, shadow, strength;
    };
    std::vector<Placed> placed;
    placed.reserve(targets.size());
    for (const Target& t : targets) {
        const double angle = t.angle - yaw + t.swing * std::sin(twoPi * time / t.period);
        placed.push_back({t.distance * std::sin(angle), t.distance * std::cos(angle), t.radius, t.shadow, t.strength});
    }
    struct PlacedSlab
    {
        double cx, cy, ax, ay, halfLength, halfWidth, shadow, strength, top;
    };
    std::vector<PlacedSlab> placedSlabs;
    placedSlabs.reserve(slabs.size());
    for (const Slab& s : slabs) {
        const double wobble = s.swing * std::sin(twoPi * time / s.period);
        const double angle = s.angle - yaw + wobble;
        const double heading = s.heading - yaw + wobble;
        placedSlabs.push_back({s.distance * std::sin(angle), s.distance * std::cos(angle), std::sin(heading),
                               std::cos(heading), s.halfLength, s.halfWidth, s.shadow, s.strength, s.top});
    }

    const double cellsPerMetre = textureCellsPerRange / rangeMetres;
    const double textureOffset = 1024.0; // keeps texture coordinates positive for truncation
    const double rowsPerCell = static_cast<double>(ranges) / textureCellsPerRange;
    const auto stride = static_cast<std::size_t>(std::clamp(rowsPerCell / 2.0, 1.0, 4.0));
    std::vector<Hit> hits;
    std::vector<float> level(ranges);
    std::vector<float> speckleWeight(ranges);
    std::vector<std::uint8_t> beamMajor(image.samples.size());
    const double gainDb = (gain - 50.0) * gainDbPerPercent;
    const auto zeroCounts = static_cast<float>(bedCounts + gainDb * countsPerDb);
    const auto perDb = static_cast<float>(countsPerDb);

    // Speckle for a sample is picked by combining a random 32-bit key per row
    // with one per beam and taking the top bits of a multiplicative hash, so
    // that no two rows or beams repeat each other.
    std::vector<std::uint32_t> rowKeys(ranges);
    std::vector<std::uint32_t> beamKeys(beams);
    std::uint64_t key = frameKey;
    for (std::uint32_t& k : rowKeys) {
        key = mix(key);
        k = static_cast<std::uint32_t>(key >> 32U);
    }
    for (std::uint32_t& k : beamKeys) {
        key = mix(key);
        k = static_cast<std::uint32_t>(key >> 32U);
    }

    for (std::size_t b = 0; b < beams; ++b) {
        const double bearing = image.bearings[b] / 100.0;
        const double theta = bearing * std::numbers::pi / 180.0;
        const double ux = std::sin(theta);
        const double uy = std::cos(theta);
        // Texture is fixed to the scene, so it turns with the yaw.
        const double sx = std::sin(theta + yaw) * cellsPerMetre;
        const double sy = std::cos(theta + yaw) * cellsPerMetre;
        // The outer beams are a little weaker.
        const double edgeDb = -3.0 * (bearing / halfApertureDegrees) * (bearing / halfApertureDegrees);

        // The texture is smooth over several rows, so it is looked up every
        // `stride` rows and interpolated in between.
        const auto strideMetres = static_cast<double>(stride) * rowMetres;
        const auto stepX = static_cast<float>(strideMetres * sx);
        const auto stepY = static_cast<float>(strideMetres * sy);
        auto gx = static_cast<float>(0.5 * rowMetres * sx + textureOffset);
        auto gy = static_cast<float>(0.5 * rowMetres * sy + textureOffset);
        auto lookUp = [&]() {
            const auto ix = static_cast<int>(gx);
            const auto iy = static_cast<int>(gy);
            const float fx = gx - static_cast<float>(ix);
            const float fy = gy - static_cast<float>(iy);
            const int x0 = ix & textureMask;
            const int x1 = (ix + 1) & textureMask;
            const int y0 = (iy & textureMask) << textureBits;
            const int y1 = ((iy + 1) & textureMask) << textureBits;
            const float top = texture[y0 + x0] + (texture[y0 + x1] - texture[y0 + x0]) * fx;
            const float bottom = texture[y1 + x0] + (texture[y1 + x1] - texture[y1 + x0]) * fx;
            gx += stepX;
            gy += stepY;
            return top + (bottom - top) * fy;
        };
        const auto edge = static_cast<float>(edgeDb);
        float here = lookUp();
        for (std::size_t r0 = 0; r0 < ranges; r0 += stride) {
            const float there = lookUp();
            const float slope = (there - here) / static_cast<float>(stride);
            const std::size_t end = std::min(r0 + stride, static_cast<std::size_t>(ranges));
            float tex = here + edge;
            for (std::size_t r = r0; r < end; ++r, tex += slope) {
                const float bed = bedByRow[r] + tex;
                const float water = waterByRow[r];
                level[r] = bed > water ? bed : water;
                speckleWeight[r] = 1.0F;
            }
            here = there;
        }

        hits.clear();
        for (const Placed& p : placed) {
            const double along = p.x * ux + p.y * uy;
            if (along <= 0.0) {
                continue;
            }
            const double across = std::abs(p.x * uy - p.y * ux);
            if (across >= p.radius * sidelobeReach) {
                continue;
            }
            if (across >= p.radius) {
                // Neighbouring beams pick the echo up through their side lobes,
                // smearing a strong target into a short arc; no shadow there.
                const double start = along - p.radius;
                const double lobe = (across - p.radius) / (p.radius * (sidelobeReach - 1.0));
                const double lobeDb = p.strength - 9.0 - 12.0 * lobe;
                const double end = start + std::max(2.0 * rowMetres, 0.5 * p.radius);
                hits.push_back({start, end, end, end, lobeDb, lobeDb});
                continue;
            }
            const double halfChord = std::sqrt(p.radius * p.radius - across * across);
            const double start = along - halfChord;
            if (start > rangeMetres) {
                continue;
            }
            // Strongest where the beam meets the object face on.
            const double face = 1.0 - (across / p.radius) * (across / p.radius);
            const double faceDb = p.strength + 10.0 * std::log10(0.15 + 0.85 * face);
            const double faceEnd = start + std::max(3.0 * rowMetres, halfChord);
            const double back = along + halfChord;
            hits.push_back({start, faceEnd, std::max(faceEnd, back), back + along * p.shadow, faceDb, faceDb - 6.0});
        }
        for (const PlacedSlab& s : placedSlabs) {
            // Ray against the rectangle in its own frame (long side along a).
            const double ox = -(s.cx * s.ax + s.cy * s.ay);
            const double oy = -(-s.cx * s.ay + s.cy * s.ax);
            const double dx = ux * s.ax + uy * s.ay;
            const double dy = -ux * s.ay + uy * s.ax;
            double enter = 0.0;
            double leave = 1e9;
            double facing = 0.0;
            bool missed = false;
            for (const auto& [o, d, half] : {std::tuple{ox, dx, s.halfLength}, std::tuple{oy, dy, s.halfWidth}}) {
                if (std::abs(d) < 1e-12) {
                    if (std::abs(o) > half) {
                        missed = true;
                    }
                    continue;
                }
                const double t0 = (-half - o) / d;
                const double t1 = (half - o) / d;
                const double near = std::min(t0, t1);
                if (near > enter) {
                    enter = near;
                    facing = std::abs(d);
                }
                leave = std::min(leave, std::max(t0, t1));
            }
            if (missed || leave <= enter || enter <= 0.0 || enter > rangeMetres) {
                continue;
            }
            const double span = leave - enter;
            const double faceDb = s.strength + 10.0 * std::log10(0.25 + 0.75 * facing);
            const double faceEnd = enter + std::min(span, std::max(2.0 * rowMetres, 0.35 * span));
            hits.push_back({enter, faceEnd, leave, leave + leave * s.shadow, faceDb, s.top + (faceDb - s.strength)});
        }

        auto rowAt = [&](double metres) {
            return static_cast<std::size_t>(
                std::clamp(std::ceil(metres / rowMetres - 0.5), 0.0, static_cast<double>(ranges)));
        };
        // Shadows first, so that an echo inside another object's shadow still shows.
        for (const Hit& h : hits) {
            const std::size_t from = rowAt(h.echoEnd);
            const std::size_t to = rowAt(h.shadowEnd);
            const double length = std::max(h.shadowEnd - h.echoEnd, rowMetres);
            for (std::size_t r = from; r < to; ++r) {
                // The far end of a shadow fills in gradually.
                const double along = ((static_cast<double>(r) + 0.5) * rowMetres - h.echoEnd) / length;
                const double fill = smoothstep(0.75, 1.0, along);
                const double dark = shadowDb + (level[r] - shadowDb) * fill;
                level[r] = static_cast<float>(std::min(static_cast<double>(level[r]), dark));
            }
        }
        for (const Hit& h : hits) {
            const std::size_t faceEnd = std::max(rowAt(h.faceEnd), rowAt(h.echoStart) + 1);
            for (std::size_t r = rowAt(h.echoStart); r < std::min(faceEnd, static_cast<std::size_t>(ranges)); ++r) {
                level[r] = std::max(level[r], static_cast<float>(h.faceDb));
                speckleWeight[r] = static_cast<float>(targetSpeckle);
            }
            for (std::size_t r = faceEnd; r < rowAt(h.echoEnd); ++r) {
                level[r] = std::max(level[r], static_cast<float>(h.topDb));
            }
        }

        const std::uint32_t beamKey = beamKeys[b];
        for (std::size_t r = 0; r < ranges; ++r) {
            const float db =
                level[r] + speckleWeight[r] * speckle[((rowKeys[r] ^ beamKey) * 0x9E3779B1U) >> (32U - speckleBits)];
            // Far-off levels are cut first so that the conversion to int
            // cannot overflow; the clamps then compile to branch-free moves.
            const float counts = std::min(std::max(zeroCounts + db * perDb, -1000.0F), 1000.0F);
            int value = static_cast<int>(counts + 0.5F);
            value = value < 0 ? 0 : value;
            value = value > 255 ? 255 : value;
            beamMajor[b * ranges + r] = static_cast<std::uint8_t>(value);
        }
    }

    // Beams are built one at a time but sent row by row; a blocked transpose
    // keeps both sides cache-friendly.
    constexpr std::size_t block = 32;
    for (std::size_t r0 = 0; r0 < ranges; r0 += block) {
        const std::size_t r1 = std::min(r0 + block, static_cast<std::size_t>(ranges));
        for (std::size_t b0 = 0; b0 < beams; b0 += block) {
            const std::size_t b1 = std::min(b0 + block, static_cast<std::size_t>(beams));
            for (std::size_t r = r0; r < r1; ++r) {
                for (std::size_t b = b0; b < b1; ++b) {
                    image.samples[r * beams + b] = beamMajor[b * ranges + r];
                }
            }
        }
    }
    return image;
}

} // namespace Keldar::Sim
