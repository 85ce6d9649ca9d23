#include <keldar/visualisation/StandardPalettes.h>

#include <QOpenGLTexture>

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
    return QImage(QString::fromLatin1(ResourcePath));
}

float StandardPalettes::rowCoordinate(int band)
{
    return 1.0F - (static_cast<float>(band) / 6.0F + 1.0F / 12.0F);
}

} // namespace Keldar::Ondrix::Visualisation::Palettes
