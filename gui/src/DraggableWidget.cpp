#include <keldar/gui/DraggableWidget.h>

#include <keldar/gui/DraggableWidgetGroup.h>

#include <QMouseEvent>

#include <algorithm>

namespace Keldar::GUI::Widgets::Bases {

namespace {

// Like std::clamp, but a widget larger than its zone settles at the low end
// instead of being undefined.
int clampLow(int value, int low, int high)
{
    return std::max(std::min(value, high), low);
}

bool overlapsVertically(const QRect& a, const QRect& b)
{
    return a.top() <= b.bottom() && b.top() <= a.bottom();
}

bool overlapsHorizontally(const QRect& a, const QRect& b)
{
    return a.left() <= b.right() && b.left() <= a.right();
}

} // namespace

DraggableWidget::DraggableWidget(QWidget* parent)
    : QWidget(parent)
{
    installEventFilter(this);
    updateCursor();
}

DraggableWidget::~DraggableWidget()
{
    if (group)
        group->remove(this);
}

QWidget* DraggableWidget::dragTarget()
{
    return handle ? handle.data() : this;
}

void DraggableWidget::setDragHandle(QWidget* newHandle)
{
    // The widget always watches itself, so that it becomes its own handle
    // again if a handle is removed or destroyed.
    QWidget* previous = dragTarget();
    if (previous != this) {
        previous->removeEventFilter(this);
        previous->unsetCursor();
    }
    dragging = false;
    handle = newHandle;
    if (handle) {
        handle->installEventFilter(this);
        unsetCursor();
    }
    updateCursor();
}

QWidget* DraggableWidget::getDragHandle() const
{
    return handle.data();
}

void DraggableWidget::enableDragging()
{
    draggingEnabled = true;
    updateCursor();
}

void DraggableWidget::disableDragging()
{
    draggingEnabled = false;
    dragging = false;
    updateCursor();
}

bool DraggableWidget::draggingIsEnabled() const
{
    return draggingEnabled;
}

void DraggableWidget::setDragZoneMargins(int all)
{
    setDragZoneMargins(QMargins(all, all, all, all));
}

void DraggableWidget::setDragZoneMargins(int horizontal, int vertical)
{
    setDragZoneMargins(QMargins(horizontal, vertical, horizontal, vertical));
}

void DraggableWidget::setDragZoneMargins(int left, int top, int right, int bottom)
{
    setDragZoneMargins(QMargins(left, top, right, bottom));
}

void DraggableWidget::setDragZoneMargins(const QMargins& margins)
{
    dragZoneMargins = margins;
}

QMargins DraggableWidget::getDragZoneMargins() const
{
    return dragZoneMargins;
}

DraggableWidgetGroup* DraggableWidget::getGroup() const
{
    return group;
}

QPoint DraggableWidget::constrainedPosition(const QPoint& delta) const
{
    const QRect current = geometry();
    int x = current.x() + delta.x();
    int y = current.y() + delta.y();

    if (const QWidget* parent = parentWidget()) {
        x = clampLow(x, dragZoneMargins.left(), parent->width() - dragZoneMargins.right() - width());
        y = clampLow(y, dragZoneMargins.top(), parent->height() - dragZoneMargins.bottom() - height());
    }

    if (group) {
        const int spacing = group->getSpacing();
        const int dx = x - current.x();
        const int dy = y - current.y();
        const QList<DraggableWidget*> members = group->getMembers();
        for (const DraggableWidget* member : members) {
            if (member == this || !member->isVisible() || member->parentWidget() != parentWidget())
                continue;
            const QRect other = member->geometry().adjusted(-spacing, -spacing, spacing, spacing);
            // Already overlapping: stopping here would trap the widget.
            if (other.intersects(current))
                continue;
            if (dx > 0 && other.left() > current.right() && overlapsVertically(other, current))
                x = std::min(x, other.left() - current.width());
            else if (dx < 0 && other.right() < current.left() && overlapsVertically(other, current))
                x = std::max(x, other.right() + 1);
        }
        const QRect across(x, current.y(), current.width(), current.height());
        for (const DraggableWidget* member : members) {
            if (member == this || !member->isVisible() || member->parentWidget() != parentWidget())
                continue;
            const QRect other = member->geometry().adjusted(-spacing, -spacing, spacing, spacing);
            if (other.intersects(current) || other.intersects(QRect(x, current.y(), current.width(), current.height())))
                continue;
            if (dy > 0 && other.top() > current.bottom() && overlapsHorizontally(other, across))
                y = std::min(y, other.top() - current.height());
            else if (dy < 0 && other.bottom() < current.top() && overlapsHorizontally(other, across))
                y = std::max(y, other.bottom() + 1);
        }
    }
    return {x, y};
}

bool DraggableWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != dragTarget())
        return QWidget::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!draggingEnabled || mouse->button() != Qt::LeftButton)
            break;
        dragging = true;
        moveStarted = false;
        lastGlobalPosition = mouse->globalPos();
        dragTarget()->setCursor(Qt::ClosedHandCursor);
        return true;
    }
    case QEvent::MouseMove: {
        if (!dragging || !draggingEnabled)
            break;
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint target = constrainedPosition(mouse->globalPos() - lastGlobalPosition);
        if (!moveStarted) {
            moveStarted = true;
            emit widgetMoveStarted();
        }
        const QPoint moved = target - pos();
        move(target);
        // Only the distance actually moved: a pointer that ran past a limit
        // has to come back before the widget follows again.
        lastGlobalPosition += moved;
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!dragging || mouse->button() != Qt::LeftButton)
            break;
        dragging = false;
        updateCursor();
        if (moveStarted) {
            moveStarted = false;
            emit widgetMoveFinished();
        }
        return true;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void DraggableWidget::updateCursor()
{
    dragTarget()->setCursor(draggingEnabled ? Qt::OpenHandCursor : Qt::ArrowCursor);
}

} // namespace Keldar::GUI::Widgets::Bases
