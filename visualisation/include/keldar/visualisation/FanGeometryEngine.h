#pragma once

#include <keldar/visualisation/FanDisplayOptions.h>
#include <keldar/visualisation/RangeLabel.h>

#include <QMatrix4x4>
#include <QPointF>
#include <QRectF>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace Keldar::DataProcessing::Units {
class AbstractUnit;
}

namespace Keldar::Ondrix {
class OndrixImage;
}

namespace Keldar::Ondrix::Visualisation {

namespace Palettes {
class AbstractDynamicPalette;
}

// The drawing core behind the fan display and its magnifier: keeps the last
// image as a texture, the triangle fan that maps it onto the beams' sector,
// the shader with its despeckle and clamp, the palettes, and the overlay
// geometry. Both displays draw it with their own projection, in one shared
// set of OpenGL objects.
class FanGeometryEngine
{
public:
    // How a despeckle kernel is applied. Both give the same picture away from
    // the fan's edges; Prefiltered blurs the texture once per image on the
    // processor, Direct loops over the kernel for every screen pixel.
    enum class DespeckleMethod { Prefiltered, Direct };

    FanGeometryEngine();
    ~FanGeometryEngine();

    FanGeometryEngine(const FanGeometryEngine&) = delete;
    FanGeometryEngine& operator=(const FanGeometryEngine&) = delete;

    // Copies what it needs: the image need not outlive the call. An image whose
    // bearing table or sample buffer is shorter than its size claims is
    // ignored rather than read past its end.
    void newImage(const OndrixImage& image);

    void setDespeckleLevel(int kernelSize);
    int getDespeckleLevel() const;
    void setDespeckleMethod(DespeckleMethod method);
    DespeckleMethod getDespeckleMethod() const;
    void setClampLevel(float level);
    float getClampLevel() const;
    float getLowerThreshold() const;
    float getUpperThreshold() const;
    void setDistanceUnit(const DataProcessing::Units::AbstractUnit* unit);

    void setPalette(int palette);
    int getPalette() const;
    float getPaletteRow() const;
    void setPaletteModifier(std::uint8_t modifier);
    void toggleFlip();
    bool isFlipped() const;
    void configure(const FanDisplayOptions::DisplaySettings& settings);
    FanDisplayOptions::DisplaySettings currentSettings() const;
    const Palettes::AbstractDynamicPalette& getFirePalette() const;
    const Palettes::AbstractDynamicPalette& getAquaPalette() const;

    double getImageRange() const;
    double getImageGain() const;
    std::uint16_t getBeamCount() const;
    std::uint16_t getRangeLineCount() const;
    float getAperture() const;
    std::int16_t getStartAngle() const;

    // Needs the context current. False when a shader does not compile or the
    // program does not link. Objects still held from an earlier context of the
    // same share group are freed first.
    bool initialiseResources();
    void draw(const QMatrix4x4& projection);
    // Frees the OpenGL objects; needs their context (or one sharing with it)
    // current, so it must run before that context goes. The image is kept for
    // the next initialiseResources.
    void releaseResources();

    const std::vector<float>& getSectorLines();
    const std::array<std::vector<float>, 5>& getRangeArcs();
    // Vertex buffer contents (x, y, u, v per vertex), rebuilt first if dirty.
    const std::vector<float>& getVertices();
    int getDrawnVertexCount();
    // At most this many triangles make up the drawn fan (0: one per pair of
    // neighbouring beams). See FanGeometry::wedgeVertices.
    void setMaximumWedges(int wedges);
    int getMaximumWedges() const;
    // How often the geometry has been rebuilt; lets callers see that a
    // repeated image costs no rebuild.
    int getGeometryBuildCount() const;

    std::vector<RangeLabel> buildRangeLabels(float rotation) const;
    QRectF boundingBox(float rotation) const;
    bool containsPoint(QPointF point, const QMatrix4x4& projection);

private:
    void rebuildGeometry();
    void uploadIntensities();

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::Ondrix::Visualisation
