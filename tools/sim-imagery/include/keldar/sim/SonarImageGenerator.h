#pragma once

#include <cstdint>
#include <vector>

namespace Keldar::Sim {

/// One generated acoustic image: the bearing table and the samples as a sonar
/// would send them.
struct SonarImage {
    /// One bearing per beam in hundredths of a degree, -6500 to +6500,
    /// 0 straight ahead, positive to the right.
    std::vector<std::int16_t> bearings;
    /// ranges x beams samples, row-major, row 0 nearest to the sonar.
    std::vector<std::uint8_t> samples;
};

/// Makes images that look like a multibeam imaging sonar over a seabed: a bed
/// return that rises with range, a few point and extended targets that cast
/// acoustic shadows, speckle, brightness that follows the gain and a scene
/// that drifts slowly so that a recording shows change.
///
/// The scene is laid out in metres around the sonar, so changing the range
/// zooms in or out of the same scene. The output depends only on the seed and
/// the arguments of generate(): the same inputs give the same image.
class SonarImageGenerator {
public:
    explicit SonarImageGenerator(std::uint32_t seed);

    /// beams and ranges of 0 give an empty image; rangeMetres is the far
    /// edge of the image; gainPercent 0-100 (values outside are clamped);
    /// timeSeconds positions the moving scene and picks the speckle pattern.
    [[nodiscard]] SonarImage generate(std::uint16_t beams, std::uint16_t ranges, double rangeMetres,
                                      double gainPercent, double timeSeconds) const;

    /// The bearing table alone, as generate() fills it.
    [[nodiscard]] static std::vector<std::int16_t> makeBearings(std::uint16_t beams);

private:
    struct Target {
        double distance;   // metres from the sonar at time 0
        double angle;      // radians, 0 ahead
        double radius;     // metres
        double height;     // metres above the bed, sets the shadow length
        double strength;   // echo strength, 0-1
        double swing;      // radians of slow angular wobble
        double period;     // seconds per wobble
    };

    std::uint32_t seed;
    std::vector<Target> targets;
};

}  // namespace Keldar::Sim
