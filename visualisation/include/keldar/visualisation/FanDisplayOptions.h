#pragma once

#include <QColor>

#include <cstdint>

namespace Keldar::Ondrix::Visualisation::FanDisplayOptions {

enum Palette : std::int32_t {
    StandardOne = 0,
    StandardTwo = 1,
    StandardThree = 2,
    StandardFour = 3,
    StandardFive = 4,
    StandardSix = 5,
    DynamicFire = 6,
    DynamicAqua = 7,
};

enum MeasurementMode : std::int32_t {
    StraightLine = 0,
    RectangleArea = 1,
    CircleAreaFromCentre = 2,
};

enum OverlayFeature : std::int32_t {
    RangeLabels = 0,
    RangeArcs = 1,
    SectorLines = 2,
};

// The fan display's look, shared with the display panels and the video export.
struct DisplaySettings
{
    std::int32_t palette = StandardOne;
    std::uint8_t paletteModifier = 0;
    bool horizontalFlip = false;
    QColor clearColour;
    QColor textColour;
    bool rangeLabels = false;
    bool rangeArcs = false;
    bool sectorLines = false;
    float scaleX = 0.F;
    float scaleY = 0.F;
    float scaleZ = 0.F;
    float translationX = 0.F;
    float translationY = 0.F;
    float translationZ = 0.F;
    float rotation = 0.F;
};

} // namespace Keldar::Ondrix::Visualisation::FanDisplayOptions
