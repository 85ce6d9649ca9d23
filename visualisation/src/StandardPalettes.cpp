#include <keldar/visualisation/StandardPalettes.h>

#include <keldar/maths/Palettes.h>

#include <QOpenGLTexture>

#include <algorithm>

namespace Keldar::Ondrix::Visualisation::Palettes {

void StandardPalettes::initialise()
{
    AbstractPalette::initialise();
    // Mirrored so that texture row 0 is the image's bottom row, which puts band
    // p at row coordinate 1 - (p/6 + 1/12).
    const QImage image = loadImage().mirrored().convertToFormat(QImage::Format_RGBA8888);
    auto* tex = texture();
    tex->setSize(image.width(), image.height());
    tex->setMipLevels(1);
    tex->allocateStorage(QOpenGLTexture::RGBA, QOpenGLTexture::UInt8);
    tex->setData(QOpenGLTexture::RGBA, QOpenGLTexture::UInt8, image.constBits());
}

QImage StandardPalettes::loadImage()
{
    // Built from the shared tables, which the browser view serves too.
    const auto& tables = Maths::Palettes::standardTables;
    QImage image(static_cast<int>(Maths::Palettes::entries), BandCount * RowsPerBand, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y) {
        const auto& band = tables[static_cast<std::size_t>(y / RowsPerBand)];
        std::copy(band.begin(), band.end(), image.scanLine(y));
    }
    // 32 bits a pixel, as Qt gave the palette image when it was a bitmap file.
    return image.convertToFormat(QImage::Format_RGB32);
}

float StandardPalettes::rowCoordinate(int band)
{
    return 1.0F - (static_cast<float>(band) / 6.0F + 1.0F / 12.0F);
}

} // namespace Keldar::Ondrix::Visualisation::Palettes
