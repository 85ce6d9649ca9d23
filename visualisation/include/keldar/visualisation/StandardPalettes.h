#pragma once

#include <keldar/visualisation/AbstractPalette.h>

#include <QImage>

namespace Keldar::Ondrix::Visualisation::Palettes {

// The six fixed palettes, one band each of the palette image.
class StandardPalettes : public AbstractPalette
{
public:
    static constexpr int BandCount = 6;
    static constexpr int RowsPerBand = 10;

    void initialise() override;

    // The palette image as stored (band 0 at the top).
    static QImage loadImage();
    // Row coordinate of band p once the image is uploaded mirrored.
    static float rowCoordinate(int band);
};

} // namespace Keldar::Ondrix::Visualisation::Palettes
