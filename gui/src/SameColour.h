#pragma once

#include <QColor>

namespace Keldar::GUI::Helpers {

// By value, not by colour model: a colour made by QColor::darker() is held in
// HSV and compares unequal to the same colour given as RGB.
inline bool sameColour(const QColor& a, const QColor& b)
{
    return a.isValid() == b.isValid() && (!a.isValid() || a.rgba64() == b.rgba64());
}

} // namespace Keldar::GUI::Helpers
