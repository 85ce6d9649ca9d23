#pragma once

#include <QGraphicsView>

#include <memory>

namespace Keldar::GUI::Widgets::GraphicsViews {

// Artificial horizon: four SVG layers (back, face, roll ring, fixed case).
// Pitch shifts the face by 1.7 instrument units per degree; roll turns the
// back, face and ring. The instrument is 240 units across and fills the view.
class PitchRollGraphicsView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit PitchRollGraphicsView(QWidget* parent = nullptr);
    ~PitchRollGraphicsView() override;

    // Clamped to -20..20 degrees, positive nose up.
    void setPitch(float degrees);
    // Stored negated and clamped to -180..180, so getRoll() returns -degrees.
    void setRoll(float degrees);
    float getPitch() const;
    float getRoll() const;

    // Where the face has been moved to, in scene units.
    QPointF getFaceOffset() const;
    // The on-screen rotation of the moving layers, in degrees clockwise.
    double getDialRotation() const;

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void layoutLayers();
    void updateView();

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::GUI::Widgets::GraphicsViews
