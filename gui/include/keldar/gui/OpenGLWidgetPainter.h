#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Keldar::GUI::Widgets::Bases {

class OpenGLWidget;

// Draws text, lines, circles and images on an OpenGLWidget with three small
// GLSL 1.20 programs. Every call assumes the widget's context is current
// (inside initialise or paintGL).
class OpenGLWidgetPainter
{
public:
    // Flags for drawText; combine with |. Without a horizontal flag the text
    // starts at x; without a vertical flag its bottom edge lies on y.
    enum TextAlignment : std::uint8_t {
        AlignLeft = 0,
        AlignRight = 2,    // text ends at x
        AlignHCentre = 4,  // text centred on x
        AlignTop = 8,      // text hangs below y
        AlignVCentre = 16, // text centred on y
    };

    enum class ImageCacheMode : int { Off = 0, On = 1 };

    // One glyph of a font atlas: pixel metrics and its rectangle in the atlas
    // texture (v measured from the bottom, as the texture is uploaded mirrored).
    struct Glyph
    {
        int character = 0;
        int advance = 0;
        int lineHeight = 0;
        int leftPad = 0;
        int rightPad = 0;
        float top = 0.F;
        float right = 0.F;
        float bottom = 0.F;
        float left = 0.F;
    };

    static constexpr int FirstGlyph = 32;
    static constexpr int LastGlyph = 125;
    static constexpr int GlyphCount = LastGlyph - FirstGlyph + 1;
    static constexpr int AtlasWidth = 256;

    struct FontAtlas
    {
        QImage image;
        std::array<Glyph, GlyphCount> glyphs{};
        int lineHeight = 0;
        int descent = 0;
    };

    explicit OpenGLWidgetPainter(OpenGLWidget* widget);
    ~OpenGLWidgetPainter();

    OpenGLWidgetPainter(OpenGLWidgetPainter&& other) noexcept;
    OpenGLWidgetPainter& operator=(OpenGLWidgetPainter&& other) noexcept;
    OpenGLWidgetPainter(const OpenGLWidgetPainter&) = delete;
    OpenGLWidgetPainter& operator=(const OpenGLWidgetPainter&) = delete;

    // Index of the atlas for this font and colour; built on first use only.
    int addFont(const QFont& font, const QColor& colour);
    // False (and no change) when no atlas has this index.
    bool setFont(int index);
    int getCurrentFont() const;
    int getFontCount() const;
    // Null when no atlas has this index.
    const FontAtlas* getFontAtlas(int index) const;

    // Angle in degrees, counter-clockwise. Text keeps its pixel size whatever
    // the widget's scale and turns with the widget's rotation unless
    // ignoreTransform is set.
    void drawText(float x, float y, int angle, const std::string& text, std::uint8_t alignment = AlignLeft,
                  bool ignoreTransform = false);

    void drawLine(float x1, float y1, float x2, float y2, int width, const QColor& colour,
                  bool ignoreTransform = false);
    // Points are x,y pairs. Not joined: separate segments; joined: a strip, or
    // a loop when also closed.
    void drawLines(const std::vector<float>& points, int width, const QColor& colour, bool ignoreTransform = false,
                   bool joined = false, bool closed = false);
    // An outline in the widget's normalised device coordinates, ignoring the
    // transform except that it is kept round against the scale's aspect.
    void drawCircle(QPointF centre, float radius, int width, const QColor& colour);

    // (x, y) is the top-left corner. With the cache on, the first draw of an
    // image (by its cache key) fixes its position and size for good.
    void drawImage(float x, float y, float w, float h, const QImage& image, bool ignoreTransform);
    void drawImage(float x, float y, float w, float h, const QImage& image);
    // One texel per pixel.
    void drawImage(float x, float y, const QImage& image, bool ignoreTransform = false);

    // Drops the cached texture and quad of an image (by its cache key), so a
    // caller that replaces an image for good does not leave the old one
    // behind. Needs the widget's context current. Returns whether one was held.
    bool forgetImage(const QImage& image);

    void setImageCacheMode(ImageCacheMode mode);
    ImageCacheMode getImageCacheMode() const;
    std::size_t getCachedImageCount() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::GUI::Widgets::Bases
