#pragma once

#include <cstdint>
#include <vector>

namespace Keldar::Sim {

/// One generated acoustic image: the bearing table and the samples as a sonar
/// would send them.
struct SonarImage
{
    /// One bearing per beam in hundredths of a degree, -6500 to +6500,
    /// 0 straight ahead, positive to the right.
    std::vector<std::int16_t> bearings;
    /// ranges x beams samples, row-major, row 0 nearest to the sonar.
    std::vector<std::uint8_t> samples;
};

/// Makes images that look like a forward-looking multibeam imaging sonar over
/// a seabed: a dark water column near the sonar, a bed return that comes in at
/// some range, rises and then fades gently towards the far edge, Rayleigh
/// speckle over a textured bed with brighter rocky patches, round and long
/// targets that are bright on their leading face and cast dark acoustic
/// shadows behind them, brightness that follows the gain (mid-to-dark grey at
/// the middle setting) and a scene that moves slowly so that a recording shows
/// change.
///
/// Targets are laid out in metres around the sonar at distances from about
/// 1 m to 150 m, so any range setting shows some of them. The output depends
/// only on the seed and the arguments of generate(): the same inputs give the
/// same image.
class SonarImageGenerator
{
public:
    explicit SonarImageGenerator(std::uint32_t seed);

    /// beams and ranges of 0 give an empty image; rangeMetres is the far
    /// edge of the image; gainPercent 0-100 (values outside are clamped);
    /// timeSeconds positions the moving scene and picks the speckle pattern.
    [[nodiscard]] SonarImage generate(std::uint16_t beams, std::uint16_t ranges, double rangeMetres, double gainPercent,
                                      double timeSeconds) const;

    /// The bearing table alone, as generate() fills it.
    [[nodiscard]] static std::vector<std::int16_t> makeBearings(std::uint16_t beams);

private:
    // A round object (boulder, tyre, point reflector) on the bed.
    struct Target
    {
        double distance; // metres from the sonar at time 0
        double angle;    // radians, 0 ahead
        double radius;   // metres
        double shadow;   // shadow length per metre of range behind it
        double strength; // echo in dB above the bed at its strongest
        double swing;    // radians of slow angular wobble
        double period;   // seconds per wobble
    };

    // A long straight object (pipe) or a box (block, wreck part) lying on the
    // bed: a rectangle seen from above.
    struct Slab
    {
        double distance;   // metres from the sonar to its centre at time 0
        double angle;      // radians, 0 ahead
        double heading;    // radians, orientation of its long side
        double halfLength; // metres
        double halfWidth;  // metres
        double shadow;     // shadow length per metre of range behind it
        double strength;   // echo in dB above the bed at its leading face
        double top;        // dB above the bed on its top, behind the face
        double swing;      // radians of slow angular wobble
        double period;     // seconds per wobble
    };

    std::uint32_t seed;
    std::vector<Target> targets;
    std::vector<Slab> slabs;
    std::vector<float> texture; // bed texture in dB, tiled square
    std::vector<float> speckle; // speckle in dB, drawn from a fixed table
};

} // namespace Keldar::Sim
