#include "playback/ScrubControl.h"

#include "playback/ScrubSlider.h"

#include <keldar/gui/FloatingWidgetHandle.h>
#include <keldar/gui/SvgButton.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QVariant>

#include <algorithm>

namespace Keldar::OndrixLumivane {

using GUI::Widgets::Buttons::SvgButton;

ScrubControl::ScrubControl(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent)
    : BasicPopOutWidget(button, RightOfControl, gap, parent)
    , loopButton(new SvgButton(QStringLiteral(":keldar-icons/Playback/Loop.svg"), this))
    , slider(new ScrubSlider(Qt::Horizontal, this))
    , timeLabel(new QLabel(QStringLiteral("00:00:00"), this))
{
    setObjectName(QStringLiteral("scrubControl"));
    setProperty("class", QStringLiteral("inverted"));
    loopButton->setObjectName(QStringLiteral("loopButton"));
    loopButton->setToolTip(QStringLiteral("Loop playback"));
    loopButton->setCheckable(true);
    loopButton->setFixedSize(24, 24);
    slider->setObjectName(QStringLiteral("scrubSlider"));
    slider->setMinimumWidth(320);
    slider->setRange(0, 0);
    timeLabel->setObjectName(QStringLiteral("timeLabel"));
    auto* handle = new GUI::Widgets::AddOns::FloatingWidgetHandle(this);
    handle->setObjectName(QStringLiteral("handle"));
    handle->setFixedWidth(8);

    auto* layout = new QHBoxLayout(this);
    layout->setSpacing(8);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(loopButton);
    layout->addWidget(slider, 1);
    layout->addWidget(timeLabel);
    layout->addWidget(handle);
    setDragHandle(handle);

    connect(slider, &QSlider::valueChanged, this, &ScrubControl::entryRequested);
    connect(slider, &QSlider::sliderPressed, this, [this] {
        scrubbing = true;
        Q_EMIT scrubbingStarted();
    });
    connect(slider, &QSlider::sliderReleased, this, [this] {
        scrubbing = false;
        Q_EMIT scrubbingStopped();
    });
    connect(loopButton, &QAbstractButton::toggled, this, &ScrubControl::setLoopPlayback);
}

bool ScrubControl::isScrubbing() const
{
    return scrubbing;
}

ScrubSlider* ScrubControl::getSlider() const
{
    return slider;
}

SvgButton* ScrubControl::getLoopButton() const
{
    return loopButton;
}

QString ScrubControl::getTimeText() const
{
    return timeLabel->text();
}

QString ScrubControl::formatTime(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void ScrubControl::logEntriesCounted(int count)
{
    frameTimes = FrameTimes();
    slider->setMaximum(std::max(0, count - 1));
    slider->setValue(0);
}

void ScrubControl::logPlayTimeReceived(int milliseconds)
{
    // A log of one frame has no time between frames.
    millisecondsPerFrame =
        slider->maximum() > 0 ? static_cast<float>(milliseconds) / static_cast<float>(slider->maximum()) : 0.0F;
}

void ScrubControl::frameTimesReceived(const std::vector<std::int64_t>& timestamps)
{
    frameTimes = FrameTimes(timestamps);
}

void ScrubControl::showFrame(int frame)
{
    if (slider->value() != frame) {
        const QSignalBlocker blocker(slider);
        slider->setValue(frame);
    }
    const qint64 time = frameTimes.empty() ? static_cast<qint64>(static_cast<float>(frame) * millisecondsPerFrame)
                                           : frameTimes.millisecondsAt(frame);
    timeLabel->setText(formatTime(time));
}

void ScrubControl::framePlayed(int frame)
{
    showFrame(frame);
}

void ScrubControl::toggleLoopPlayback()
{
    loopButton->click();
}

void ScrubControl::newBookmarkList(std::vector<Logging::Playback::PlayerBookmark> bookmarks)
{
    std::vector<int> frames;
    frames.reserve(bookmarks.size());
    for (const auto& bookmark : bookmarks) {
        frames.push_back(bookmark.frameIndex);
    }
    slider->setBookmarkFrames(std::move(frames));
    update();
}

void ScrubControl::onBookmarkHovered(int32_t frame)
{
    hoveredFrame = frame;
    slider->setHoveredFrame(frame);
    update();
}

void ScrubControl::onBookmarkSelected(int32_t frame)
{
    selectedFrame = frame;
    slider->setSelectedFrame(frame);
    update();
}

void ScrubControl::paintEvent(QPaintEvent* event)
{
    BasicPopOutWidget::paintEvent(event);
    if (hoveredFrame < 0 && selectedFrame < 0) {
        return;
    }
    QPainter painter(this);
    const QColor colour = ScrubSlider::markerColour();
    const QRect area = slider->geometry();
    const int y1 = area.top();
    const int y2 = area.bottom();
    auto xOf = [&](int frame) { return area.x() + ScrubSlider::markerX(frame, slider->maximum(), area.width()); };
    auto strokes = [&](int x) {
        painter.drawLine(x, y1 - 1, x, y1 - 3);
        painter.drawLine(x, y2 + 2, x, y2 + 4);
    };
    if (hoveredFrame >= 0) {
        painter.setPen(QPen(colour, 4));
        strokes(xOf(hoveredFrame));
    }
    if (selectedFrame >= 0) {
        const int x = xOf(selectedFrame);
        painter.setPen(QPen(colour, 2));
        strokes(x);
        painter.drawLine(x - 3, y1 - 5, x + 3, y1 - 5);
        painter.drawLine(x - 3, y2 + 6, x + 3, y2 + 6);
    }
}

} // namespace Keldar::OndrixLumivane
