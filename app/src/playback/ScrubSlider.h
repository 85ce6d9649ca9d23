#pragma once

#include <QSlider>

#include <vector>

namespace Keldar::OndrixLumivane {

// The playback timeline: a slider over the frames with a vertical line at
// every bookmark, thicker for the one the user hovers in the bookmark panel.
class ScrubSlider : public QSlider
{
    Q_OBJECT

public:
    explicit ScrubSlider(Qt::Orientation orientation, QWidget* parent = nullptr);

    void setBookmarkFrames(std::vector<int> frames);
    const std::vector<int>& getBookmarkFrames() const;
    void setHoveredFrame(int frame);
    void setSelectedFrame(int frame);
    int getHoveredFrame() const;
    int getSelectedFrame() const;

    // x of `frame` on a slider of `width` whose maximum is `maximum`.
    static int markerX(int frame, int maximum, int width);
    // The markers' colour: one that stands out from the theme's accent.
    static QColor markerColour();

protected:
    void paintEvent(QPaintEvent* event) override;
    // A click on the track goes to the frame under the pointer (not a page
    // further) and holds the handle there for dragging on.
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::vector<int> bookmarkFrames;
    int hoveredFrame = -1;
    int selectedFrame = -1;
};

} // namespace Keldar::OndrixLumivane
