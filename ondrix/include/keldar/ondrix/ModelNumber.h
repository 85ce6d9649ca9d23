#pragma once

#include <cstdint>

namespace Keldar::Ondrix {

// Part numbers reported by the sonars. Values outside this list are legal on
// the wire and map to the "Unknown" model entry.
enum class ModelNumber : std::uint16_t {
    Unknown = 0,
    PelmarA1041 = 1041,
    PelmarA1436 = 1436,
    PelmarA1229 = 1229,
    PelmarB1433 = 1433,
    PelmarB2295 = 2295,
    PelmarB1217 = 1217,
    PelmarC2418 = 2418,
    QuillonA4713 = 4713,
    RostrelA1032 = 1032,
    RostrelA1134 = 1134,
    RostrelA1135 = 1135,
    RostrelB1434 = 1434,
    RostrelB2296 = 2296,
    RostrelB1244 = 1244,
    RostrelC2419 = 2419,
    RostrelE4433 = 4433,
    RostrelF4912 = 4912,
    SevanthA1042 = 1042,
    SevanthA1437 = 1437,
    SevanthA1228 = 1228,
    SevanthB1435 = 1435,
    SevanthB2297 = 2297,
    SevanthB1219 = 1219,
    SevanthC2420 = 2420,
    TavrinA2203 = 2203,
    TavrinA2466 = 2466,
    TavrinA2924 = 2924,
    TavrinB2656 = 2656,
    TavrinB2659 = 2659,
    TavrinB2658 = 2658,
    TavrinC2599 = 2599,
};

} // namespace Keldar::Ondrix
