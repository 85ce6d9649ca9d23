#pragma once

namespace Keldar::DataProcessing::Orientation {

// Orientation reported by a sonar, in the sonar's own units. Sonars that only
// measure two axes leave `yaw` at 0.
struct Attitude
{
    float pitch = 0.0F;
    float roll = 0.0F;
    float yaw = 0.0F;

    friend bool operator==(const Attitude&, const Attitude&) = default;
};

} // namespace Keldar::DataProcessing::Orientation
