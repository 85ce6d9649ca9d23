#pragma once

#include <keldar/ondrix/OndrixImage.h>

#include <QImage>

#include <cstdint>
#include <vector>

namespace Keldar::Ondrix::Visualisation::Testing {

// A QApplication for the whole test program (gtest owns main), with shared
// OpenGL contexts so that a magnifier can draw its fan display's objects.
void ensureApplication();

// Evenly spread bearings from first to last (hundredths of a degree).
std::vector<std::int16_t> spreadBearings(std::uint16_t beams, std::int16_t first, std::int16_t last);

// An image of `beams` beams over +-65 degrees whose samples all equal `value`.
OndrixImage constantImage(std::uint16_t beams, std::uint16_t lines, double range, std::uint8_t value);

// An image with the given samples over +-65 degrees.
OndrixImage imageOf(std::uint16_t beams, std::uint16_t lines, double range, std::vector<std::uint8_t> samples);

// Largest difference in any colour channel between two pixels.
int channelDifference(QRgb a, QRgb b);

} // namespace Keldar::Ondrix::Visualisation::Testing
