#include <keldar/visualisation/AbstractDynamicPalette.h>

#include <QOpenGLTexture>

namespace Keldar::Ondrix::Visualisation::Palettes {

void AbstractDynamicPalette::initialise()
{
    AbstractPalette::initialise();
    auto* tex = texture();
    tex->setSize(Entries, 1, 1);
    tex->setMipLevels(1);
    tex->allocateStorage(QOpenGLTexture::RGBA, QOpenGLTexture::UInt8);
}

void AbstractDynamicPalette::bind(unsigned unit)
{
    if (generationNeeded && isInitialised()) {
        generate();
        ++generations;
        generationNeeded = false;
    }
    AbstractPalette::bind(unit);
}

void AbstractDynamicPalette::setModifier(std::uint8_t value)
{
    modifier = value;
    generationNeeded = true;
}

std::uint8_t AbstractDynamicPalette::getModifier() const
{
    return modifier;
}

bool AbstractDynamicPalette::needsGenerating() const
{
    return generationNeeded;
}

int AbstractDynamicPalette::getGenerationCount() const
{
    return generations;
}

void AbstractDynamicPalette::upload(const Table& table)
{
    texture()->setData(QOpenGLTexture::RGBA, QOpenGLTexture::UInt8, table.data());
}

} // namespace Keldar::Ondrix::Visualisation::Palettes
