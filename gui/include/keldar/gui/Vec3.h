#pragma once

namespace Keldar {

// A plain three-component value; used for the 2-D display transform, where z
// is carried along so that the transform can become a 4x4 matrix unchanged.
template<typename T>
struct Vec3
{
    T x{};
    T y{};
    T z{};

    friend bool operator==(const Vec3&, const Vec3&) = default;
};

} // namespace Keldar
