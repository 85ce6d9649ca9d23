#pragma once

#include <cstdint>
#include <string>

namespace Keldar::Ondrix {

// What a model can do at each of its two frequencies. Single-frequency models
// repeat the same values in both halves. Frequencies in kHz, ranges in metres.
struct ModelSpec
{
    std::string name;
    std::uint8_t dualFrequency = 0;
    std::uint16_t firstFrequency = 0;
    float firstMinimumRange = 0.0F;
    float firstMaximumRange = 0.0F;
    std::uint16_t secondFrequency = 0;
    float secondMinimumRange = 0.0F;
    float secondMaximumRange = 0.0F;

    bool operator==(const ModelSpec&) const = default;
};

} // namespace Keldar::Ondrix
