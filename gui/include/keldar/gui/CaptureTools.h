#pragma once

#include <QColor>
#include <QRect>
#include <QSizeF>

class QPaintDevice;

namespace Keldar::GUI::Tools {

// Stamps the maker's or the product's logo into a corner of a still capture or
// a video frame. Sizes and margins are pixels of the image, whatever its device
// pixel ratio. Needs a running QApplication: the logos are drawn by widgets.
class CaptureTools
{
public:
    enum Corner { TopLeft = 0, TopRight = 1, BottomLeft = 2, BottomRight = 3 };
    static constexpr int margin = 40;

    static void addKeldarLogo(QPaintDevice& device, const QColor& firstColour, const QColor& secondColour, int corner,
                              int size);
    static void addOndrixLogo(QPaintDevice& device, const QColor& colour, int corner, int size);

    // Where a logo of `naturalSize` lands on a device of `deviceSize` (pixels):
    // scaled to fit inside a `size` square keeping its aspect ratio, 40 pixels in
    // from the corner; an unknown corner puts it at the origin.
    static QRect getLogoRect(const QSize& deviceSize, const QSizeF& naturalSize, int corner, int size);
};

} // namespace Keldar::GUI::Tools
