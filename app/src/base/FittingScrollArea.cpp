#include "base/FittingScrollArea.h"

#include <QScrollBar>
#include <QStyle>

namespace Keldar::OndrixLumivane {

FittingScrollArea::FittingScrollArea(QWidget* parent)
    : QScrollArea(parent)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The panel's own background shows through.
    viewport()->setAutoFillBackground(false);
}

QSize FittingScrollArea::sizeHint() const
{
    if (widget() == nullptr) {
        return QScrollArea::sizeHint();
    }
    // Room for the vertical bar is kept, so that the contents are never
    // squeezed sideways when it appears.
    const QSize contents = widget()->sizeHint();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return {contents.width() + bar + 2 * frameWidth(), contents.height() + 2 * frameWidth()};
}

} // namespace Keldar::OndrixLumivane
