#include <keldar/gui/SvgLabel.h>

#include <QEvent>
#include <QPainter>

#include <cmath>

namespace Keldar::GUI::Widgets::Displays {

SvgLabel::SvgLabel(QWidget* parent)
    : QFrame(parent)
    , ScalableWidget(this)
{
    setFrameShape(QFrame::NoFrame);
}

SvgLabel::SvgLabel(const QString& fileName, QWidget* parent)
    : SvgLabel(parent)
{
    loadImage(fileName);
}

QSize SvgLabel::sizeHint() const
{
    const QSizeF natural = getSvgSize();
    if (natural.isEmpty())
        return QFrame::sizeHint();
    const QMargins margins = contentsMargins();
    return natural.toSize() + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize SvgLabel::minimumSizeHint() const
{
    return {1, 1};
}

bool SvgLabel::hasHeightForWidth() const
{
    return !getSvgSize().isEmpty();
}

int SvgLabel::heightForWidth(int width) const
{
    const QSizeF natural = getSvgSize();
    if (natural.isEmpty())
        return -1;
    return static_cast<int>(std::ceil(width * natural.height() / natural.width()));
}

void SvgLabel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    renderSvg(painter, contentsRect());
}

void SvgLabel::changeEvent(QEvent* event)
{
    // Theme switches arrive as palette or style changes; the icon must follow.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        update();
    QFrame::changeEvent(event);
}

QColor SvgLabel::getDefaultFillColour() const
{
    return palette().color(foregroundRole());
}

QColor SvgLabel::getDefaultStrokeColour() const
{
    return palette().color(foregroundRole());
}

void SvgLabel::svgChanged()
{
    updateGeometry();
    update();
}

} // namespace Keldar::GUI::Widgets::Displays
