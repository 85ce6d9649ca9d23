#include <keldar/visualisation/FanGeometryEngine.h>

#include <keldar/ondrix/OndrixImage.h>
#include <keldar/visualisation/AquaPalette.h>
#include <keldar/visualisation/ClampThresholds.h>
#include <keldar/visualisation/DespeckleFilter.h>
#include <keldar/visualisation/FanGeometry.h>
#include <keldar/visualisation/FirePalette.h>
#include <keldar/visualisation/StandardPalettes.h>

#include <QFile>
#include <QOpenGLBuffer>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QPointer>
#include <QPolygonF>

#include <map>

#ifndef GL_RED
#define GL_RED 0x1903
#endif
#ifndef GL_R8
#define GL_R8 0x8229
#endif
#ifndef GL_R16
#define GL_R16 0x822A
#endif

namespace Keldar::Ondrix::Visualisation {

namespace {
constexpr int firePaletteIndex = 6;
constexpr int aquaPaletteIndex = 7;
constexpr int initialRampWidth = 256;
constexpr int initialRampHeight = 396;
} // namespace

namespace {

// Looked up once per program, not by name at every draw.
struct FanUniforms
{
    int palettes = -1;
    int intensities = -1;
    int chosenPalette = -1;
    int projection = -1;
    int spread = -1;
    int kernelSize = -1;
    int texelSize = -1;
    int upperThreshold = -1;
    int lowerThreshold = -1;
    int rayTexture = -1;

    explicit FanUniforms(const QOpenGLShaderProgram* program = nullptr)
    {
        if (program == nullptr) {
            return;
        }
        palettes = program->uniformLocation("palettes");
        intensities = program->uniformLocation("intensities");
        chosenPalette = program->uniformLocation("chosenPalette");
        projection = program->uniformLocation("projection");
        spread = program->uniformLocation("Spread");
        kernelSize = program->uniformLocation("KernelSize");
        texelSize = program->uniformLocation("TexelSize");
        upperThreshold = program->uniformLocation("UpperThreshold");
        lowerThreshold = program->uniformLocation("LowerThreshold");
        rayTexture = program->uniformLocation("RayTexture");
    }
};

} // namespace

// The two fan shaders built for one context.
struct FanPrograms
{
    std::unique_ptr<QOpenGLShaderProgram> full;
    std::unique_ptr<QOpenGLShaderProgram> single;
    FanUniforms fullUniforms;
    FanUniforms singleUniforms;
    QMetaObject::Connection contextGone;
};

struct FanGeometryEngine::Private
{
    ~Private()
    {
        for (auto& [context, programs] : otherPrograms) {
            QObject::disconnect(programs.contextGone);
        }
    }

    // The full fan shader, and the same source built without the kernel loop
    // for frames that need no blur in the shader.
    std::unique_ptr<QOpenGLShaderProgram> program;
    std::unique_ptr<QOpenGLShaderProgram> singleSampleProgram;
    FanUniforms uniforms;
    FanUniforms singleSampleUniforms;

    int kernelSize = 0;
    float clampLevel = 0.F;
    ClampThresholds thresholds;
    DespeckleMethod despeckleMethod = DespeckleMethod::Prefiltered;
    DespeckleFilter despeckle;
    std::vector<std::uint16_t> filtered;

    std::unique_ptr<Palettes::StandardPalettes> standard = std::make_unique<Palettes::StandardPalettes>();
    std::unique_ptr<Palettes::FirePalette> fire = std::make_unique<Palettes::FirePalette>();
    std::unique_ptr<Palettes::AquaPalette> aqua = std::make_unique<Palettes::AquaPalette>();

    // Row 1/12 is the sixth standard band, so the sixth is the starting palette.
    float paletteRow = 1.F / 12.F;
    int paletteIndex = 5;

    GLuint intensityTexture = 0;
    int textureWidth = 0;
    int textureHeight = 0;
    GLenum textureFormat = 0;
    bool intensityDirty = false;

    std::unique_ptr<QOpenGLBuffer> vertexBuffer;
    bool vertexBufferStale = true;
    std::vector<float> vertices;
    int maximumWedges = 64;
    std::vector<float> sectorLines;
    std::array<std::vector<float>, 5> rangeArcs;
    int geometryBuilds = 0;

    std::uint16_t beamCount = 256;
    std::uint16_t rangeLineCount = 0;
    float aperture = 130.F;
    std::int16_t startAngle = 25;
    std::vector<std::int16_t> bearings = std::vector<std::int16_t>(256, 0);
    std::vector<std::uint8_t> bytes;
    bool flipped = false;
    double range = 0.0;
    double gain = 0.0;
    bool geometryDirty = true;

    // The context the OpenGL objects were made in; they can be freed only in
    // it or in one sharing with it.
    QPointer<QOpenGLContext> resourceContext;
    // Other contexts drawing this engine (the magnifier's) get programs of
    // their own. A program shared between contexts keeps one set of uniform
    // values, and drivers may skip a glUniform that repeats the stored value
    // without refreshing the other context's copy: the magnifier then kept
    // the previous palette row.
    std::map<QOpenGLContext*, FanPrograms> otherPrograms;
    QByteArray vertexSource;
    QByteArray fragmentSource;

    QMatrix4x4 hitTestProjection;
    bool hitTestValid = false;
    QPolygonF outline;

    const DataProcessing::Units::AbstractUnit* distanceUnit = nullptr;

    Palettes::AbstractPalette& currentPalette()
    {
        if (paletteIndex == firePaletteIndex) {
            return *fire;
        }
        if (paletteIndex == aquaPaletteIndex) {
            return *aqua;
        }
        return *standard;
    }

    Palettes::AbstractDynamicPalette* currentDynamicPalette() const
    {
        if (paletteIndex == firePaletteIndex) {
            return fire.get();
        }
        if (paletteIndex == aquaPaletteIndex) {
            return aqua.get();
        }
        return nullptr;
    }
};

FanGeometryEngine::FanGeometryEngine()
    : d(std::make_unique<Private>())
{
}

FanGeometryEngine::~FanGeometryEngine() = default;

void FanGeometryEngine::newImage(const OndrixImage& image)
{
    const std::size_t width = image.getWidth();
    const std::size_t height = image.getHeight();
    if (image.getBearings().size() < width || image.getData().size() < width * height) {
        return;
    }
    d->range = image.getRange();
    d->gain = image.getGain();
    if (image.getWidth() != d->beamCount) {
        d->beamCount = image.getWidth();
        d->geometryDirty = true;
    }
    d->rangeLineCount = image.getHeight();
    const auto& bearings = image.getBearings();
    const bool firstBearingChanged = width > 0 && (d->bearings.empty() || bearings.front() != d->bearings.front());
    if (firstBearingChanged || d->geometryDirty) {
        d->bearings.assign(bearings.begin(), bearings.begin() + static_cast<std::ptrdiff_t>(width));
        d->aperture = FanGeometry::aperture(d->bearings);
        d->startAngle = FanGeometry::startAngle(d->aperture);
        d->geometryDirty = true;
    }
    d->bytes.assign(image.getData().begin(), image.getData().begin() + static_cast<std::ptrdiff_t>(width * height));
    d->thresholds.update(d->bytes, d->clampLevel);
    d->intensityDirty = true;
}

void FanGeometryEngine::setDespeckleLevel(int kernelSize)
{
    if (kernelSize != d->kernelSize && d->despeckleMethod == DespeckleMethod::Prefiltered) {
        d->intensityDirty = !d->bytes.empty() || d->intensityDirty;
    }
    d->kernelSize = std::max(0, kernelSize);
}

int FanGeometryEngine::getDespeckleLevel() const
{
    return d->kernelSize;
}

void FanGeometryEngine::setDespeckleMethod(DespeckleMethod method)
{
    if (method != d->despeckleMethod) {
        d->despeckleMethod = method;
        d->intensityDirty = !d->bytes.empty() || d->intensityDirty;
    }
}

FanGeometryEngine::DespeckleMethod FanGeometryEngine::getDespeckleMethod() const
{
    return d->despeckleMethod;
}

void FanGeometryEngine::setClampLevel(float level)
{
    d->clampLevel = level;
}

float FanGeometryEngine::getClampLevel() const
{
    return d->clampLevel;
}

float FanGeometryEngine::getLowerThreshold() const
{
    return d->thresholds.getLower();
}

float FanGeometryEngine::getUpperThreshold() const
{
    return d->thresholds.getUpper();
}

void FanGeometryEngine::setDistanceUnit(const DataProcessing::Units::AbstractUnit* unit)
{
    d->distanceUnit = unit;
}

void FanGeometryEngine::setPalette(int palette)
{
    d->paletteIndex = palette;
    d->paletteRow = palette <= 5 ? Palettes::StandardPalettes::rowCoordinate(palette) : 0.5F;
}

int FanGeometryEngine::getPalette() const
{
    return d->paletteIndex;
}

float FanGeometryEngine::getPaletteRow() const
{
    return d->paletteRow;
}

void FanGeometryEngine::setPaletteModifier(std::uint8_t modifier)
{
    if (auto* dynamic = d->currentDynamicPalette()) {
        dynamic->setModifier(modifier);
    }
}

void FanGeometryEngine::toggleFlip()
{
    d->flipped = !d->flipped;
    d->geometryDirty = true;
}

bool FanGeometryEngine::isFlipped() const
{
    return d->flipped;
}

void FanGeometryEngine::configure(const FanDisplayOptions::DisplaySettings& settings)
{
    setPalette(settings.palette);
    setPaletteModifier(settings.paletteModifier);
    d->flipped = settings.horizontalFlip;
    d->geometryDirty = true;
}

FanDisplayOptions::DisplaySettings FanGeometryEngine::currentSettings() const
{
    FanDisplayOptions::DisplaySettings settings;
    settings.palette = d->paletteIndex;
    const auto* dynamic = d->currentDynamicPalette();
    settings.paletteModifier = dynamic != nullptr ? dynamic->getModifier() : 0;
    settings.horizontalFlip = d->flipped;
    return settings;
}

const Palettes::AbstractDynamicPalette& FanGeometryEngine::getFirePalette() const
{
    return *d->fire;
}

const Palettes::AbstractDynamicPalette& FanGeometryEngine::getAquaPalette() const
{
    return *d->aqua;
}

double FanGeometryEngine::getImageRange() const
{
    return d->range;
}

double FanGeometryEngine::getImageGain() const
{
    return d->gain;
}

std::uint16_t FanGeometryEngine::getBeamCount() const
{
    return d->beamCount;
}

std::uint16_t FanGeometryEngine::getRangeLineCount() const
{
    return d->rangeLineCount;
}

float FanGeometryEngine::getAperture() const
{
    return d->aperture;
}

std::int16_t FanGeometryEngine::getStartAngle() const
{
    return d->startAngle;
}

namespace {

std::unique_ptr<QOpenGLShaderProgram> buildProgram(const QByteArray& vertexSource, QByteArray fragmentSource,
                                                   const QByteArray& define, bool& ok)
{
    if (!define.isEmpty()) {
        // Directly after the version line, which must stay first.
        const int lineEnd = fragmentSource.indexOf('\n');
        fragmentSource.insert(lineEnd + 1, "#define " + define + "\n");
    }
    auto program = std::make_unique<QOpenGLShaderProgram>();
    ok = program->addShaderFromSourceCode(QOpenGLShader::Vertex, vertexSource) && ok;
    ok = program->addShaderFromSourceCode(QOpenGLShader::Fragment, fragmentSource) && ok;
    program->bindAttributeLocation("aPosition", 0);
    program->bindAttributeLocation("aTextureCoords", 1);
    ok = ok && program->link();
    return program;
}

QByteArray readResource(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

bool FanGeometryEngine::initialiseResources()
{
    auto* context = QOpenGLContext::currentContext();
    if (d->program && d->resourceContext && QOpenGLContext::areSharing(context, d->resourceContext)) {
        releaseResources();
    }
    d->vertexSource = readResource(QStringLiteral(":/keldar-ondrix-visualisation/shaders/fan-image/VertexShader.glsl"));
    d->fragmentSource =
        readResource(QStringLiteral(":/keldar-ondrix-visualisation/shaders/fan-image/FragmentShader.glsl"));
    const QByteArray& vertexSource = d->vertexSource;
    const QByteArray& fragmentSource = d->fragmentSource;
    bool ok = !vertexSource.isEmpty() && !fragmentSource.isEmpty();
    d->program = buildProgram(vertexSource, fragmentSource, {}, ok);
    d->singleSampleProgram = buildProgram(vertexSource, fragmentSource, "SINGLE_SAMPLE", ok);
    d->uniforms = FanUniforms(d->program.get());
    d->singleSampleUniforms = FanUniforms(d->singleSampleProgram.get());

    d->resourceContext = context;
    // Setting the modifier again makes the dynamic tables regenerate at their
    // next bind, so a dynamic palette is never drawn from empty storage.
    d->standard->initialise();
    d->fire->initialise();
    d->aqua->initialise();
    d->fire->setModifier(d->fire->getModifier());
    d->aqua->setModifier(d->aqua->getModifier());

    d->vertexBuffer = std::make_unique<QOpenGLBuffer>(QOpenGLBuffer::VertexBuffer);
    d->vertexBuffer->create();
    d->vertexBufferStale = true;

    // Until the first image: a ramp, so that the palette is visible.
    d->intensityTexture = 0;
    d->textureWidth = 0;
    if (d->bytes.empty()) {
        std::vector<std::uint8_t> ramp(static_cast<std::size_t>(initialRampWidth) * initialRampHeight);
        for (std::size_t i = 0; i < ramp.size(); ++i) {
            ramp[i] = static_cast<std::uint8_t>(i % initialRampWidth);
        }
        std::swap(ramp, d->bytes);
        const auto beams = d->beamCount;
        const auto lines = d->rangeLineCount;
        d->beamCount = initialRampWidth;
        d->rangeLineCount = initialRampHeight;
        uploadIntensities();
        d->beamCount = beams;
        d->rangeLineCount = lines;
        std::swap(ramp, d->bytes);
    } else {
        d->intensityDirty = true;
    }
    return ok;
}

void FanGeometryEngine::uploadIntensities()
{
    auto* f = QOpenGLContext::currentContext()->functions();
    const int width = d->beamCount;
    const int height = d->rangeLineCount;
    d->intensityDirty = false;
    if (width == 0 || height == 0 || d->bytes.size() < static_cast<std::size_t>(width) * height) {
        return;
    }
    const bool prefilter = d->despeckleMethod == DespeckleMethod::Prefiltered && d->kernelSize > 1;
    const void* data = d->bytes.data();
    GLenum internalFormat = GL_R8;
    GLenum type = GL_UNSIGNED_BYTE;
    if (prefilter) {
        d->despeckle.apply(d->bytes, width, height, d->kernelSize, d->filtered);
        data = d->filtered.data();
        internalFormat = GL_R16;
        type = GL_UNSIGNED_SHORT;
    }

    if (d->intensityTexture == 0) {
        f->glGenTextures(1, &d->intensityTexture);
    }
    GLint previousUnit = 0;
    f->glGetIntegerv(GL_ACTIVE_TEXTURE, &previousUnit);
    GLint previousAlignment = 4;
    f->glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
    f->glActiveTexture(GL_TEXTURE1);
    f->glBindTexture(GL_TEXTURE_2D, d->intensityTexture);
    // Rows of an odd beam count are not 4-byte aligned.
    f->glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (width == d->textureWidth && height == d->textureHeight && internalFormat == d->textureFormat) {
        f->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RED, type, data);
    } else {
        f->glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), width, height, 0, GL_RED, type, data);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        // Repeating would blend the first beam into the last and the far range
        // into the apex at the fan's edges.
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        d->textureWidth = width;
        d->textureHeight = height;
        d->textureFormat = internalFormat;
    }
    f->glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
    f->glActiveTexture(static_cast<GLenum>(previousUnit));
}

void FanGeometryEngine::rebuildGeometry()
{
    d->vertices = FanGeometry::wedgeVertices(d->bearings, d->flipped, d->maximumWedges);
    d->sectorLines = FanGeometry::sectorLines(d->startAngle, d->aperture);
    d->rangeArcs = FanGeometry::rangeArcs(d->startAngle, d->aperture, d->bearings.size());
    d->geometryDirty = false;
    d->vertexBufferStale = true;
    d->hitTestValid = false;
    ++d->geometryBuilds;
}

void FanGeometryEngine::draw(const QMatrix4x4& projection)
{
    auto* context = QOpenGLContext::currentContext();
    if (context == nullptr || !d->program || !d->singleSampleProgram) {
        return;
    }
    // Re-resolved every time: the fan display and its magnifier draw the same
    // engine in two contexts.
    auto* f = context->functions();
    if (d->geometryDirty) {
        rebuildGeometry();
    }
    if (d->vertexBufferStale && !d->vertices.empty()) {
        d->vertexBuffer->bind();
        d->vertexBuffer->allocate(d->vertices.data(), static_cast<int>(d->vertices.size() * sizeof(float)));
        d->vertexBuffer->release();
        d->vertexBufferStale = false;
    }
    if (d->intensityDirty) {
        uploadIntensities();
    }
    const auto vertexCount = static_cast<int>(d->vertices.size() / FanGeometry::FloatsPerVertex);
    if (vertexCount == 0 || d->intensityTexture == 0 || d->textureWidth == 0) {
        return;
    }

    const bool prefiltered = d->despeckleMethod == DespeckleMethod::Prefiltered;
    const int shaderKernel = prefiltered ? 0 : d->kernelSize;
    QOpenGLShaderProgram* full = d->program.get();
    QOpenGLShaderProgram* single = d->singleSampleProgram.get();
    const FanUniforms* fullUniforms = &d->uniforms;
    const FanUniforms* singleUniforms = &d->singleSampleUniforms;
    if (context != d->resourceContext) {
        auto found = d->otherPrograms.find(context);
        if (found == d->otherPrograms.end()) {
            FanPrograms made;
            bool ok = true;
            made.full = buildProgram(d->vertexSource, d->fragmentSource, {}, ok);
            made.single = buildProgram(d->vertexSource, d->fragmentSource, "SINGLE_SAMPLE", ok);
            if (!ok) {
                return;
            }
            made.fullUniforms = FanUniforms(made.full.get());
            made.singleUniforms = FanUniforms(made.single.get());
            made.contextGone = QObject::connect(context, &QOpenGLContext::aboutToBeDestroyed,
                                                [this, context] { d->otherPrograms.erase(context); });
            found = d->otherPrograms.emplace(context, std::move(made)).first;
        }
        full = found->second.full.get();
        single = found->second.single.get();
        fullUniforms = &found->second.fullUniforms;
        singleUniforms = &found->second.singleUniforms;
    }
    QOpenGLShaderProgram& program = shaderKernel == 0 ? *single : *full;
    const FanUniforms& u = shaderKernel == 0 ? *singleUniforms : *fullUniforms;
    program.bind();
    d->currentPalette().bind(0);
    program.setUniformValue(u.palettes, 0);
    f->glActiveTexture(GL_TEXTURE1);
    f->glBindTexture(GL_TEXTURE_2D, d->intensityTexture);
    program.setUniformValue(u.intensities, 1);
    program.setUniformValue(u.chosenPalette, d->paletteRow);
    program.setUniformValue(u.projection, projection);
    program.setUniformValue(u.spread, DespeckleFilter::Spread);
    program.setUniformValue(u.kernelSize, shaderKernel);
    program.setUniformValue(u.texelSize, 1.F / static_cast<float>(d->textureWidth),
                            1.F / static_cast<float>(d->textureHeight));
    program.setUniformValue(u.upperThreshold, d->thresholds.getUpper());
    program.setUniformValue(u.lowerThreshold, d->thresholds.getLower());
    program.setUniformValue(u.rayTexture, d->maximumWedges > 0 ? 1 : 0);

    d->vertexBuffer->bind();
    program.enableAttributeArray(0);
    program.enableAttributeArray(1);
    program.setAttributeBuffer(0, GL_FLOAT, 0, 2, 16);
    program.setAttributeBuffer(1, GL_FLOAT, 8, 2, 16);
    f->glDrawArrays(GL_TRIANGLES, 0, vertexCount);
    program.disableAttributeArray(0);
    program.disableAttributeArray(1);
    d->vertexBuffer->release();

    f->glBindTexture(GL_TEXTURE_2D, 0);
    f->glActiveTexture(GL_TEXTURE0);
    f->glBindTexture(GL_TEXTURE_2D, 0);
    program.release();
}

void FanGeometryEngine::releaseResources()
{
    if (auto* context = QOpenGLContext::currentContext()) {
        if (d->intensityTexture != 0) {
            context->functions()->glDeleteTextures(1, &d->intensityTexture);
        }
    }
    d->intensityTexture = 0;
    d->textureWidth = 0;
    d->textureHeight = 0;
    const std::uint8_t fireModifier = d->fire->getModifier();
    const std::uint8_t aquaModifier = d->aqua->getModifier();
    d->standard = std::make_unique<Palettes::StandardPalettes>();
    d->fire = std::make_unique<Palettes::FirePalette>();
    d->aqua = std::make_unique<Palettes::AquaPalette>();
    d->fire->setModifier(fireModifier);
    d->aqua->setModifier(aquaModifier);
    d->vertexBuffer.reset();
    d->program.reset();
    d->singleSampleProgram.reset();
    for (auto& [context, programs] : d->otherPrograms) {
        QObject::disconnect(programs.contextGone);
    }
    d->otherPrograms.clear();
    d->vertexBufferStale = true;
    d->resourceContext = nullptr;
    // The image is kept: the next context uploads it again.
    d->intensityDirty = !d->bytes.empty();
}

const std::vector<float>& FanGeometryEngine::getSectorLines()
{
    if (d->geometryDirty) {
        rebuildGeometry();
    }
    return d->sectorLines;
}

const std::array<std::vector<float>, 5>& FanGeometryEngine::getRangeArcs()
{
    if (d->geometryDirty) {
        rebuildGeometry();
    }
    return d->rangeArcs;
}

const std::vector<float>& FanGeometryEngine::getVertices()
{
    if (d->geometryDirty) {
        rebuildGeometry();
    }
    return d->vertices;
}

int FanGeometryEngine::getDrawnVertexCount()
{
    return static_cast<int>(getVertices().size() / FanGeometry::FloatsPerVertex);
}

void FanGeometryEngine::setMaximumWedges(int wedges)
{
    if (wedges != d->maximumWedges) {
        d->maximumWedges = wedges;
        d->geometryDirty = true;
    }
}

int FanGeometryEngine::getMaximumWedges() const
{
    return d->maximumWedges;
}

int FanGeometryEngine::getGeometryBuildCount() const
{
    return d->geometryBuilds;
}

std::vector<RangeLabel> FanGeometryEngine::buildRangeLabels(float rotation) const
{
    return FanGeometry::rangeLabels(d->startAngle, d->aperture, rotation, d->range, d->distanceUnit);
}

QRectF FanGeometryEngine::boundingBox(float rotation) const
{
    return FanGeometry::boundingBox(d->startAngle, d->aperture, rotation);
}

bool FanGeometryEngine::containsPoint(QPointF point, const QMatrix4x4& projection)
{
    if (d->geometryDirty) {
        rebuildGeometry();
    }
    if (!d->hitTestValid || projection != d->hitTestProjection) {
        d->outline.clear();
        for (const QPointF& p : FanGeometry::outline(d->startAngle, d->aperture, d->bearings.size())) {
            d->outline.append(projection.map(p));
        }
        d->hitTestProjection = projection;
        d->hitTestValid = true;
    }
    return d->outline.size() > 2 && d->outline.containsPoint(point, Qt::OddEvenFill);
}

} // namespace Keldar::Ondrix::Visualisation
