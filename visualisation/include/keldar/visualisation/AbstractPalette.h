#pragma once

#include <memory>

class QOpenGLTexture;

namespace Keldar::Ondrix::Visualisation::Palettes {

// A colour table held in a 2-D OpenGL texture that the fan shader samples at
// (intensity, row). Created before any context exists; initialise, bind and
// destruction need the owning display's context current.
class AbstractPalette
{
public:
    AbstractPalette();
    virtual ~AbstractPalette();

    AbstractPalette(const AbstractPalette&) = delete;
    AbstractPalette& operator=(const AbstractPalette&) = delete;

    virtual void initialise();
    // Binds to the given texture unit and restores the active unit afterwards.
    virtual void bind(unsigned unit);

    bool isInitialised() const;

protected:
    QOpenGLTexture* texture() const;

private:
    std::unique_ptr<QOpenGLTexture> paletteTexture;
};

} // namespace Keldar::Ondrix::Visualisation::Palettes
