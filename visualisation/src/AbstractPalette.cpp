#include <keldar/visualisation/AbstractPalette.h>

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLTexture>

namespace Keldar::Ondrix::Visualisation::Palettes {

AbstractPalette::AbstractPalette() = default;
AbstractPalette::~AbstractPalette() = default;

void AbstractPalette::initialise()
{
    paletteTexture = std::make_unique<QOpenGLTexture>(QOpenGLTexture::Target2D);
    paletteTexture->setMinificationFilter(QOpenGLTexture::Nearest);
    paletteTexture->setMagnificationFilter(QOpenGLTexture::Linear);
    paletteTexture->setWrapMode(QOpenGLTexture::ClampToEdge);
    paletteTexture->setFormat(QOpenGLTexture::RGBA8_UNorm);
}

void AbstractPalette::bind(unsigned unit)
{
    if (!paletteTexture || !paletteTexture->isCreated()) {
        return;
    }
    auto* functions = QOpenGLContext::currentContext()->functions();
    GLint previous = 0;
    functions->glGetIntegerv(GL_ACTIVE_TEXTURE, &previous);
    paletteTexture->bind(unit);
    functions->glActiveTexture(static_cast<GLenum>(previous));
}

bool AbstractPalette::isInitialised() const
{
    return paletteTexture != nullptr;
}

QOpenGLTexture* AbstractPalette::texture() const
{
    return paletteTexture.get();
}

} // namespace Keldar::Ondrix::Visualisation::Palettes
