#pragma once

namespace Keldar::Maths::Geometry {

struct Point
{
    double x = 0.0;
    double y = 0.0;
};

double distanceBetween(Point a, Point b);

// The name keeps the established spelling that callers already use.
double areaOfCirle(double radius);

double degreesToRadians(double degrees);

// Angle of p from the +x axis in radians, in [0, 2*pi). The origin gives 0.
double positiveAngleRelativeToXAxis(Point p);

// Side opposite angleA, given sideB opposite angleB (angles in radians).
// Returns 0 when sin(angleB) is 0: such a triangle does not exist.
double sineRuleForSide(double angleA, double sideB, double angleB);

// The remaining side of a right triangle. When side exceeds the hypotenuse
// (rounding at the edge of a triangle) the result is 0, never NaN.
double pythagorasForShortSide(double side, double hypotenuse);

} // namespace Keldar::Maths::Geometry
