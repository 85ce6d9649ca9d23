#pragma once

#include <utility>
#include <vector>

namespace Keldar::OndrixLumivane {

// Step function of the range slider (in tenths of a metre): small steps at
// short range where a metre matters, large ones far out. Results land on
// multiples of the step, so a value between marks snaps onto one.
class RangeControlStrategy
{
public:
    enum Direction { Up = 0, Down = 1 };

    RangeControlStrategy();

    int operator()(int value, int direction) const;

private:
    // Upper bound of the slider value → step, sorted by bound.
    std::vector<std::pair<double, int>> steps;
};

} // namespace Keldar::OndrixLumivane
