#include <keldar/maths/Geometry.h>

#include <cmath>
#include <numbers>

namespace Keldar::Maths::Geometry {

double distanceBetween(Point a, Point b)
{
    return std::hypot(b.x - a.x, b.y - a.y);
}

double areaOfCirle(double radius)
{
    return std::numbers::pi * radius * radius;
}

double degreesToRadians(double degrees)
{
    return degrees * std::numbers::pi / 180.0;
}

double positiveAngleRelativeToXAxis(Point p)
{
    double angle = std::atan2(p.y, p.x);
    if (angle < 0.0) {
        angle += 2.0 * std::numbers::pi;
    }
    // atan2 of a tiny negative y can round to exactly -0 + 2*pi.
    if (angle >= 2.0 * std::numbers::pi) {
        angle = 0.0;
    }
    return angle;
}

double sineRuleForSide(double angleA, double sideB, double angleB)
{
    const double sinB = std::sin(angleB);
    if (sinB == 0.0) {
        return 0.0;
    }
    return sideB * std::sin(angleA) / sinB;
}

double pythagorasForShortSide(double side, double hypotenuse)
{
    const double squared = hypotenuse * hypotenuse - side * side;
    return squared > 0.0 ? std::sqrt(squared) : 0.0;
}

} // namespace Keldar::Maths::Geometry
