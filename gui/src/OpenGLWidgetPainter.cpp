#include <keldar/gui/OpenGLWidgetPainter.h>

#include <keldar/gui/OpenGLWidget.h>

#include <QFontMetrics>
#include <QOpenGLBuffer>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>
#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace Keldar::GUI::Widgets::Bases {

namespace {

constexpr int CirclePoints = 1800;
constexpr int FloatsPerTexturedVertex = 4; // x, y, u, v
constexpr int TexturedStride = FloatsPerTexturedVertex * static_cast<int>(sizeof(float));

std::unique_ptr<QOpenGLShaderProgram> buildProgram(const QString& name)
{
    auto program = std::make_unique<QOpenGLShaderProgram>();
    const QString base = QStringLiteral(":/keldar-gui/shaders/OpenGLWidget/%1/").arg(name);
    if (!program->addShaderFromSourceFile(QOpenGLShader::Vertex, base + "VertexShader.glsl") ||
        !program->addShaderFromSourceFile(QOpenGLShader::Fragment, base + "FragmentShader.glsl")) {
        qWarning("OpenGLWidgetPainter: %s shaders failed to compile: %s", qPrintable(name), qPrintable(program->log()));
    }
    program->bindAttributeLocation("aPosition", 0);
    program->bindAttributeLocation("aTextureCoords", 1);
    if (!program->link()) {
        qWarning("OpenGLWidgetPainter: %s program failed to link: %s", qPrintable(name), qPrintable(program->log()));
    }
    return program;
}

std::unique_ptr<QOpenGLBuffer> makeBuffer()
{
    auto buffer = std::make_unique<QOpenGLBuffer>(QOpenGLBuffer::VertexBuffer);
    buffer->create();
    buffer->setUsagePattern(QOpenGLBuffer::DynamicDraw);
    return buffer;
}

std::unique_ptr<QOpenGLTexture> makeTexture(const QImage& image)
{
    auto texture = std::make_unique<QOpenGLTexture>(image, QOpenGLTexture::DontGenerateMipMaps);
    texture->setMinificationFilter(QOpenGLTexture::Linear);
    texture->setMagnificationFilter(QOpenGLTexture::Nearest);
    texture->setWrapMode(QOpenGLTexture::ClampToEdge);
    return texture;
}

// Two triangles for the quad with top-left (x, y) and bottom-right (x + w, y - h).
std::array<float, 24> quadVertices(float x, float y, float w, float h)
{
    const float l = x;
    const float r = x + w;
    const float t = y;
    const float b = y - h;
    return {l, t, 0.F, 0.F, r, t, 1.F, 0.F, l, b, 0.F, 1.F, r, t, 1.F, 0.F, r, b, 1.F, 1.F, l, b, 0.F, 1.F};
}

// Saves blending on entry and puts it back on exit, so overlays leave the
// subclass's GL state as they found it.
class BlendScope
{
public:
    explicit BlendScope(QOpenGLFunctions* gl)
        : gl_(gl)
    {
        wasEnabled_ = gl_->glIsEnabled(GL_BLEND) == GL_TRUE;
        gl_->glGetIntegerv(GL_BLEND_SRC_RGB, &srcRgb_);
        gl_->glGetIntegerv(GL_BLEND_DST_RGB, &dstRgb_);
        gl_->glGetIntegerv(GL_BLEND_SRC_ALPHA, &srcAlpha_);
        gl_->glGetIntegerv(GL_BLEND_DST_ALPHA, &dstAlpha_);
        gl_->glEnable(GL_BLEND);
        gl_->glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    ~BlendScope()
    {
        gl_->glBlendFuncSeparate(static_cast<GLenum>(srcRgb_), static_cast<GLenum>(dstRgb_),
                                 static_cast<GLenum>(srcAlpha_), static_cast<GLenum>(dstAlpha_));
        if (!wasEnabled_) {
            gl_->glDisable(GL_BLEND);
        }
    }
    BlendScope(const BlendScope&) = delete;
    BlendScope& operator=(const BlendScope&) = delete;

private:
    QOpenGLFunctions* gl_;
    bool wasEnabled_ = false;
    GLint srcRgb_ = GL_ONE;
    GLint dstRgb_ = GL_ZERO;
    GLint srcAlpha_ = GL_ONE;
    GLint dstAlpha_ = GL_ZERO;
};

} // namespace

struct OpenGLWidgetPainter::Private
{
    struct CachedImage
    {
        std::unique_ptr<QOpenGLBuffer> buffer;
        std::unique_ptr<QOpenGLTexture> texture;
    };

    OpenGLWidget* widget = nullptr;
    QOpenGLFunctions* gl = nullptr;

    std::vector<FontAtlas> atlases;
    std::map<QString, int> atlasIndexByKey;
    int currentAtlas = -1;
    // Each atlas is uploaded the first time it is selected and kept, so that
    // switching fonts between labels costs no texture upload.
    std::vector<std::unique_ptr<QOpenGLTexture>> atlasTextures;

    // Uniform locations, looked up once per program rather than by name at
    // every draw.
    struct Uniforms
    {
        int projection = -1;
        int sampler = -1;
        int colour = -1;
    };

    std::unique_ptr<QOpenGLShaderProgram> textProgram;
    std::unique_ptr<QOpenGLShaderProgram> lineProgram;
    std::unique_ptr<QOpenGLShaderProgram> imageProgram;
    Uniforms textUniforms;
    Uniforms lineUniforms;
    Uniforms imageUniforms;
    std::unique_ptr<QOpenGLBuffer> imageBuffer;

    ImageCacheMode cacheMode = ImageCacheMode::On;
    std::map<qint64, CachedImage> imageCache;

    std::vector<float> vertices; // reused scratch space
    std::vector<float> unitCircle;

    FontAtlas buildAtlas(const QFont& font, const QColor& colour) const;
    // Overlays such as range arcs and labels are the same frame after frame:
    // their vertices stay in buffers, found again by their contents, instead
    // of being uploaded at every draw.
    struct CachedVertices
    {
        std::size_t hash = 0;
        std::vector<float> vertices;
        std::unique_ptr<QOpenGLBuffer> buffer;
        std::uint64_t lastUse = 0;
    };
    static constexpr std::size_t VertexCacheSize = 32;
    std::vector<CachedVertices> vertexCache;
    std::uint64_t vertexCacheClock = 0;
    QOpenGLBuffer& cachedBuffer(const float* data, std::size_t floats);

    void drawTextured(QOpenGLShaderProgram& program, const Uniforms& uniforms, QOpenGLBuffer& buffer,
                      QOpenGLTexture& texture, int vertexCount, const QMatrix4x4& matrix) const;
    void drawLineVertices(const float* data, int pointCount, GLenum mode, int width, const QColor& colour,
                          const QMatrix4x4& matrix);
};

OpenGLWidgetPainter::FontAtlas OpenGLWidgetPainter::Private::buildAtlas(const QFont& font, const QColor& colour) const
{
    FontAtlas atlas;
    const QFontMetrics metrics(font);
    const int lineHeight = metrics.height();
    const int maxWidth = metrics.maxWidth();
    atlas.lineHeight = lineHeight;
    atlas.descent = metrics.descent();

    struct Placement
    {
        int x = 0;
        int baseline = 0;
    };
    std::array<Placement, GlyphCount> placements{};

    // Lay the glyphs out first: the area estimate alone can be too small when
    // rows end with unused space, and a short atlas would cut glyphs off.
    int x = 0;
    int baseline = lineHeight;
    for (int i = 0; i < GlyphCount; ++i) {
        const QChar character(FirstGlyph + i);
        Glyph& glyph = atlas.glyphs[static_cast<std::size_t>(i)];
        glyph.character = FirstGlyph + i;
        glyph.advance = metrics.horizontalAdvance(character);
        glyph.lineHeight = lineHeight;
        const int leftBearing = metrics.leftBearing(character);
        const int rightBearing = metrics.rightBearing(character);
        glyph.leftPad = leftBearing < 1 ? -leftBearing : 0;
        glyph.rightPad = rightBearing < 1 ? -rightBearing : 0;
        const int width = glyph.advance + glyph.leftPad + glyph.rightPad;
        if (x + width > AtlasWidth) {
            x = 0;
            baseline += lineHeight;
        }
        placements[static_cast<std::size_t>(i)] = {x, baseline};
        x += width;
    }
    const int needed = baseline + atlas.descent + 2;
    const double estimate = static_cast<double>(lineHeight) * maxWidth * GlyphCount / AtlasWidth;
    int height = 2;
    while (height < needed || height < estimate) {
        height *= 2;
    }

    atlas.image = QImage(AtlasWidth, height, QImage::Format_ARGB32_Premultiplied);
    atlas.image.fill(Qt::transparent);
    QPainter painter(&atlas.image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(colour);
    const auto a = static_cast<float>(height);
    for (int i = 0; i < GlyphCount; ++i) {
        Glyph& glyph = atlas.glyphs[static_cast<std::size_t>(i)];
        const Placement& place = placements[static_cast<std::size_t>(i)];
        // The cell starts at place.x; the glyph's origin sits leftPad inside it
        // so ink with a negative bearing stays in the cell.
        painter.drawText(QPointF(place.x + glyph.leftPad, place.baseline), QString(QChar(glyph.character)));
        const int width = glyph.advance + glyph.leftPad + glyph.rightPad;
        glyph.bottom = 1.F - static_cast<float>(atlas.descent + 2) / a - static_cast<float>(place.baseline) / a;
        glyph.top = glyph.bottom + static_cast<float>(lineHeight) / a;
        glyph.left = static_cast<float>(place.x) / AtlasWidth;
        glyph.right = static_cast<float>(place.x + width) / AtlasWidth;
    }
    painter.end();
    return atlas;
}

QOpenGLBuffer& OpenGLWidgetPainter::Private::cachedBuffer(const float* data, std::size_t floats)
{
    const std::size_t hash = qHashBits(data, floats * sizeof(float));
    ++vertexCacheClock;
    for (CachedVertices& entry : vertexCache) {
        if (entry.hash == hash && entry.vertices.size() == floats &&
            std::equal(entry.vertices.begin(), entry.vertices.end(), data)) {
            entry.lastUse = vertexCacheClock;
            return *entry.buffer;
        }
    }
    // A measurement being dragged changes every frame: the least recently
    // drawn entry makes room.
    if (vertexCache.size() < VertexCacheSize) {
        vertexCache.emplace_back();
        vertexCache.back().buffer = makeBuffer();
        vertexCache.back().buffer->setUsagePattern(QOpenGLBuffer::StaticDraw);
    }
    CachedVertices& entry =
        *std::min_element(vertexCache.begin(), vertexCache.end(),
                          [](const CachedVertices& a, const CachedVertices& b) { return a.lastUse < b.lastUse; });
    entry.hash = hash;
    entry.vertices.assign(data, data + floats);
    entry.lastUse = vertexCacheClock;
    entry.buffer->bind();
    entry.buffer->allocate(data, static_cast<int>(floats * sizeof(float)));
    entry.buffer->release();
    return *entry.buffer;
}

void OpenGLWidgetPainter::Private::drawTextured(QOpenGLShaderProgram& program, const Uniforms& uniforms,
                                                QOpenGLBuffer& buffer, QOpenGLTexture& texture, int vertexCount,
                                                const QMatrix4x4& matrix) const
{
    const BlendScope blend(gl);
    program.bind();
    program.setUniformValue(uniforms.projection, matrix);
    program.setUniformValue(uniforms.sampler, 0);
    gl->glActiveTexture(GL_TEXTURE0);
    texture.bind();
    buffer.bind();
    program.enableAttributeArray(0);
    program.enableAttributeArray(1);
    program.setAttributeBuffer(0, GL_FLOAT, 0, 2, TexturedStride);
    program.setAttributeBuffer(1, GL_FLOAT, 2 * sizeof(float), 2, TexturedStride);
    gl->glDrawArrays(GL_TRIANGLES, 0, vertexCount);
    program.disableAttributeArray(0);
    program.disableAttributeArray(1);
    buffer.release();
    texture.release();
    program.release();
}

void OpenGLWidgetPainter::Private::drawLineVertices(const float* data, int pointCount, GLenum mode, int width,
                                                    const QColor& colour, const QMatrix4x4& matrix)
{
    if (pointCount <= 0) {
        return;
    }
    QOpenGLBuffer& buffer = cachedBuffer(data, static_cast<std::size_t>(pointCount) * 2);
    buffer.bind();
    const BlendScope blend(gl);
    lineProgram->bind();
    lineProgram->setUniformValue(lineUniforms.projection, matrix);
    lineProgram->setUniformValue(lineUniforms.colour, colour);
    lineProgram->enableAttributeArray(0);
    lineProgram->setAttributeBuffer(0, GL_FLOAT, 0, 2, 2 * sizeof(float));
    GLfloat previousWidth = 1.F;
    gl->glGetFloatv(GL_LINE_WIDTH, &previousWidth);
    gl->glLineWidth(static_cast<GLfloat>(std::max(width, 1)));
    gl->glDrawArrays(mode, 0, pointCount);
    gl->glLineWidth(previousWidth);
    lineProgram->disableAttributeArray(0);
    lineProgram->release();
    buffer.release();
}

OpenGLWidgetPainter::OpenGLWidgetPainter(OpenGLWidget* widget)
    : d(std::make_unique<Private>())
{
    d->widget = widget;
    d->gl = widget->getGLFunctions();
    d->textProgram = buildProgram(QStringLiteral("Text"));
    d->lineProgram = buildProgram(QStringLiteral("Line"));
    d->imageProgram = buildProgram(QStringLiteral("Image"));
    d->textUniforms = {d->textProgram->uniformLocation("projection"), d->textProgram->uniformLocation("atlas")};
    d->lineUniforms = {d->lineProgram->uniformLocation("projection"), -1, d->lineProgram->uniformLocation("uColour")};
    d->imageUniforms = {d->imageProgram->uniformLocation("projection"), d->imageProgram->uniformLocation("texture")};
    d->imageBuffer = makeBuffer();

    d->unitCircle.reserve(CirclePoints * 2);
    for (int i = 0; i < CirclePoints; ++i) {
        const double theta = qDegreesToRadians(0.2 * i);
        d->unitCircle.push_back(static_cast<float>(std::cos(theta)));
        d->unitCircle.push_back(static_cast<float>(std::sin(theta)));
    }

    setFont(addFont(QFont(QStringLiteral("Verdana"), 14), Qt::white));
}

OpenGLWidgetPainter::~OpenGLWidgetPainter() = default;
OpenGLWidgetPainter::OpenGLWidgetPainter(OpenGLWidgetPainter&& other) noexcept = default;
OpenGLWidgetPainter& OpenGLWidgetPainter::operator=(OpenGLWidgetPainter&& other) noexcept = default;

int OpenGLWidgetPainter::addFont(const QFont& font, const QColor& colour)
{
    // The alpha is part of the key: two colours differing only in alpha must
    // not share an atlas.
    const QString key = font.key() + QLatin1Char('|') + colour.name(QColor::HexArgb);
    if (const auto found = d->atlasIndexByKey.find(key); found != d->atlasIndexByKey.end()) {
        return found->second;
    }
    d->atlases.push_back(d->buildAtlas(font, colour));
    d->atlasTextures.emplace_back();
    const int index = static_cast<int>(d->atlases.size()) - 1;
    d->atlasIndexByKey.emplace(key, index);
    return index;
}

bool OpenGLWidgetPainter::setFont(int index)
{
    if (index < 0 || index >= static_cast<int>(d->atlases.size())) {
        return false;
    }
    auto& texture = d->atlasTextures[static_cast<std::size_t>(index)];
    if (!texture) {
        texture = makeTexture(d->atlases[static_cast<std::size_t>(index)].image.mirrored());
    }
    d->currentAtlas = index;
    return true;
}

int OpenGLWidgetPainter::getCurrentFont() const
{
    return d->currentAtlas;
}

int OpenGLWidgetPainter::getFontCount() const
{
    return static_cast<int>(d->atlases.size());
}

const OpenGLWidgetPainter::FontAtlas* OpenGLWidgetPainter::getFontAtlas(int index) const
{
    if (index < 0 || index >= static_cast<int>(d->atlases.size())) {
        return nullptr;
    }
    return &d->atlases[static_cast<std::size_t>(index)];
}

void OpenGLWidgetPainter::drawText(float x, float y, int angle, const std::string& text, std::uint8_t alignment,
                                   bool ignoreTransform)
{
    if (text.empty() || d->currentAtlas < 0 || d->widget->width() <= 0 || d->widget->height() <= 0) {
        return;
    }
    const FontAtlas& atlas = d->atlases[static_cast<std::size_t>(d->currentAtlas)];
    const float b = 2.F / static_cast<float>(d->widget->width());
    const float c = 2.F / static_cast<float>(d->widget->height());
    const float lineHeight = static_cast<float>(atlas.lineHeight) * c;

    float offsetY = 0.F;
    if ((alignment & AlignVCentre) != 0) {
        offsetY = lineHeight / 2.F;
    } else if ((alignment & AlignTop) != 0) {
        offsetY = lineHeight;
    }
    const float bottom = -offsetY;
    const float top = lineHeight - offsetY;

    auto& v = d->vertices;
    v.clear();
    v.reserve(text.size() * 6 * FloatsPerTexturedVertex);
    float pen = 0.F;
    float minX = std::numeric_limits<float>::max();
    float maxX = std::numeric_limits<float>::lowest();
    const Glyph& space = atlas.glyphs[0];
    for (const char raw : text) {
        const auto byte = static_cast<unsigned char>(raw);
        if ((byte & 0xC0U) == 0x80U) {
            continue; // UTF-8 continuation: the lead byte already stood in as a space
        }
        const bool known = byte >= FirstGlyph && byte <= LastGlyph;
        const Glyph& g = known ? atlas.glyphs[byte - FirstGlyph] : space;
        const float left = pen - static_cast<float>(g.leftPad) * b;
        const float right = pen + static_cast<float>(g.advance + g.rightPad) * b;
        minX = std::min(minX, left);
        maxX = std::max(maxX, right);
        const std::array<float, 24> quad = {left,  top,    g.left,  g.top,    right, top,    g.right, g.top,
                                            left,  bottom, g.left,  g.bottom, right, top,    g.right, g.top,
                                            right, bottom, g.right, g.bottom, left,  bottom, g.left,  g.bottom};
        v.insert(v.end(), quad.begin(), quad.end());
        pen += static_cast<float>(g.advance) * b;
    }
    if (v.empty()) {
        return;
    }
    // Align by the quads' real extent so right-aligned text ends exactly at x
    // and centred text is symmetric about it.
    float shift = 0.F;
    if ((alignment & AlignRight) != 0) {
        shift = -maxX;
    } else if ((alignment & AlignHCentre) != 0) {
        shift = -(minX + maxX) / 2.F;
    }
    if (shift != 0.F) {
        for (std::size_t i = 0; i < v.size(); i += FloatsPerTexturedVertex) {
            v[i] += shift;
        }
    }

    QVector4D anchor(x, y, 0.F, 1.F);
    float rotation = static_cast<float>(angle);
    if (!ignoreTransform) {
        anchor = d->widget->getCurrentProjection() * anchor;
        if (anchor.w() != 0.F && anchor.w() != 1.F) {
            anchor /= anchor.w();
        }
        rotation += d->widget->getCurrentRotation();
    }
    // Rotate in a square space so glyphs keep their shape on a non-square widget.
    const float g = static_cast<float>(d->widget->height()) / static_cast<float>(d->widget->width());
    QMatrix4x4 matrix;
    matrix.translate(anchor.x(), anchor.y(), 0.F);
    if (g >= 1.F) {
        matrix.scale(g, 1.F);
    } else {
        matrix.scale(1.F, 1.F / g);
    }
    matrix.rotate(rotation, 0.F, 0.F, 1.F);
    if (g >= 1.F) {
        matrix.scale(1.F / g, 1.F);
    } else {
        matrix.scale(1.F, g);
    }

    d->drawTextured(*d->textProgram, d->textUniforms, d->cachedBuffer(v.data(), v.size()),
                    *d->atlasTextures[static_cast<std::size_t>(d->currentAtlas)],
                    static_cast<int>(v.size()) / FloatsPerTexturedVertex, matrix);
}

void OpenGLWidgetPainter::drawLine(float x1, float y1, float x2, float y2, int width, const QColor& colour,
                                   bool ignoreTransform)
{
    drawLines({x1, y1, x2, y2}, width, colour, ignoreTransform, false, false);
}

void OpenGLWidgetPainter::drawLines(const std::vector<float>& points, int width, const QColor& colour,
                                    bool ignoreTransform, bool joined, bool closed)
{
    const int pointCount = static_cast<int>(points.size() / 2);
    GLenum mode = GL_LINES;
    if (joined) {
        mode = closed ? GL_LINE_LOOP : GL_LINE_STRIP;
    }
    const QMatrix4x4 matrix = ignoreTransform ? QMatrix4x4() : d->widget->getCurrentProjection();
    d->drawLineVertices(points.data(), pointCount, mode, width, colour, matrix);
}

void OpenGLWidgetPainter::drawCircle(QPointF centre, float radius, int width, const QColor& colour)
{
    const auto scale = d->widget->getCurrentScale();
    const float aspect = scale.y != 0.F ? scale.x / scale.y : 1.F;
    auto& v = d->vertices;
    v.resize(d->unitCircle.size());
    const auto cx = static_cast<float>(centre.x());
    const auto cy = static_cast<float>(centre.y());
    for (std::size_t i = 0; i < v.size(); i += 2) {
        v[i] = cx + aspect * radius * d->unitCircle[i];
        v[i + 1] = cy + radius * d->unitCircle[i + 1];
    }
    // A loop rather than an open strip: the last point joins the first.
    d->drawLineVertices(v.data(), CirclePoints, GL_LINE_LOOP, width, colour, QMatrix4x4());
}

void OpenGLWidgetPainter::drawImage(float x, float y, float w, float h, const QImage& image, bool ignoreTransform)
{
    if (image.isNull()) {
        return;
    }
    const QMatrix4x4 matrix = ignoreTransform ? QMatrix4x4() : d->widget->getCurrentProjection();
    if (d->cacheMode == ImageCacheMode::On) {
        auto found = d->imageCache.find(image.cacheKey());
        if (found == d->imageCache.end()) {
            Private::CachedImage entry;
            entry.texture = makeTexture(image);
            entry.buffer = std::make_unique<QOpenGLBuffer>(QOpenGLBuffer::VertexBuffer);
            entry.buffer->create();
            entry.buffer->setUsagePattern(QOpenGLBuffer::StaticDraw);
            const auto quad = quadVertices(x, y, w, h);
            entry.buffer->bind();
            entry.buffer->allocate(quad.data(), static_cast<int>(quad.size() * sizeof(float)));
            entry.buffer->release();
            found = d->imageCache.emplace(image.cacheKey(), std::move(entry)).first;
        }
        d->drawTextured(*d->imageProgram, d->imageUniforms, *found->second.buffer, *found->second.texture, 6, matrix);
        return;
    }
    const auto texture = makeTexture(image);
    const auto quad = quadVertices(x, y, w, h);
    d->imageBuffer->bind();
    d->imageBuffer->allocate(quad.data(), static_cast<int>(quad.size() * sizeof(float)));
    d->imageBuffer->release();
    d->drawTextured(*d->imageProgram, d->imageUniforms, *d->imageBuffer, *texture, 6, matrix);
}

void OpenGLWidgetPainter::drawImage(float x, float y, float w, float h, const QImage& image)
{
    drawImage(x, y, w, h, image, false);
}

void OpenGLWidgetPainter::drawImage(float x, float y, const QImage& image, bool ignoreTransform)
{
    const int width = std::max(d->widget->width(), 1);
    const int height = std::max(d->widget->height(), 1);
    drawImage(x, y, 2.F * static_cast<float>(image.width()) / static_cast<float>(width),
              2.F * static_cast<float>(image.height()) / static_cast<float>(height), image, ignoreTransform);
}

bool OpenGLWidgetPainter::forgetImage(const QImage& image)
{
    return d->imageCache.erase(image.cacheKey()) > 0;
}

void OpenGLWidgetPainter::setImageCacheMode(ImageCacheMode mode)
{
    d->cacheMode = mode;
}

OpenGLWidgetPainter::ImageCacheMode OpenGLWidgetPainter::getImageCacheMode() const
{
    return d->cacheMode;
}

std::size_t OpenGLWidgetPainter::getCachedImageCount() const
{
    return d->imageCache.size();
}

} // namespace Keldar::GUI::Widgets::Bases
