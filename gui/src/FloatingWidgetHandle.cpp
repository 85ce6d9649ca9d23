#include <keldar/gui/FloatingWidgetHandle.h>

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace Keldar::GUI::Widgets::AddOns {

FloatingWidgetHandle::FloatingWidgetHandle(QWidget* parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("handle"));
    setFrameShape(QFrame::NoFrame);
    setMinimumSize(8, 8);
    setToolTip(QStringLiteral("Click and drag to reposition this control. Double click to reset."));
    setAttribute(Qt::WA_StyledBackground);
    applyInactiveStyle();
}

void FloatingWidgetHandle::applyActiveStyle()
{
    active = true;
    applyStyleClass("widgetHandleActive");
}

void FloatingWidgetHandle::applyInactiveStyle()
{
    active = false;
    applyStyleClass("widgetHandleInactive");
}

bool FloatingWidgetHandle::isActive() const
{
    return active;
}

QSize FloatingWidgetHandle::sizeHint() const
{
    return {24, 10};
}

void FloatingWidgetHandle::applyStyleClass(const char* styleClass)
{
    setProperty("class", QString::fromLatin1(styleClass));
    // Property selectors are only re-read on a fresh polish.
    style()->unpolish(this);
    style()->polish(this);
    update();
}

void FloatingWidgetHandle::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        emit dockWidget();
        event->accept();
        return;
    }
    QFrame::mouseDoubleClickEvent(event);
}

void FloatingWidgetHandle::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    // A grip of dots, drawn in the text colour so it reads on any theme;
    // brighter once the pop-out is torn off and can be docked again.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor dot = palette().color(foregroundRole());
    dot.setAlphaF(active ? 0.9 : 0.45);
    painter.setPen(Qt::NoPen);
    painter.setBrush(dot);
    const QRectF area = contentsRect();
    constexpr int columns = 5;
    constexpr double spacing = 4.0;
    const int rows = area.height() >= 10.0 ? 2 : 1;
    const QPointF first(area.center().x() - (columns - 1) * spacing / 2.0,
                        area.center().y() - (rows - 1) * spacing / 2.0);
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            painter.drawEllipse(first + QPointF(column * spacing, row * spacing), 1.1, 1.1);
}

} // namespace Keldar::GUI::Widgets::AddOns
