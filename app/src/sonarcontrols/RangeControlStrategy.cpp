#include "sonarcontrols/RangeControlStrategy.h"

#include <algorithm>
#include <cmath>

namespace Keldar::OndrixLumivane {

RangeControlStrategy::RangeControlStrategy()
    // 98.99999 rather than 99: at 9.9 m the next step is already the 1 m one.
    : steps{{98.99999, 5}, {199.0, 10}, {499.0, 50}, {999.0, 100}, {2000.0, 200}}
{
}

int RangeControlStrategy::operator()(int value, int direction) const
{
    const auto row =
        std::find_if(steps.begin(), steps.end(), [value](const auto& entry) { return entry.first >= value; });
    // Beyond the table the coarsest step still applies.
    const double step = row != steps.end() ? row->second : steps.back().second;
    const double next = direction == Up ? value + step : value - step;
    return static_cast<int>(std::lround(next / step) * step);
}

} // namespace Keldar::OndrixLumivane
