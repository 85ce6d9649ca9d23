#include <keldar/gui/BasicPopOutWidget.h>

#include <keldar/gui/Fade.h>
#include <keldar/gui/FloatingWidgetHandle.h>
#include <keldar/gui/PopOutWidgetControl.h>
#include <keldar/gui/Slide.h>

#include <QApplication>
#include <QEvent>
#include <QPolygon>

#include <algorithm>
#include <optional>

namespace Keldar::GUI::Widgets::Containers {

namespace {

// Opaque once shown: at 0.95 the bright text of an overlay display beneath
// showed through a panel's controls.
constexpr double shownOpacity = 1.0;
constexpr int fadeDuration = 200;
constexpr int slideDuration = 190;

bool isHorizontal(int direction)
{
    return direction == BasicPopOutWidget::RightOfControl || direction == BasicPopOutWidget::LeftOfControl;
}

} // namespace

BasicPopOutWidget::BasicPopOutWidget(Bases::PopOutWidgetControl* control, int direction, int gap, QWidget* parent)
    : BasicPopOutWidget(control, direction, AlignNearEnds, gap, parent)
{
}

BasicPopOutWidget::BasicPopOutWidget(Bases::PopOutWidgetControl* control, int direction, int alignmentHint, int gap,
                                     QWidget* parent)
    : DraggableWidget(parent)
    , control(control)
    , fade(new Animations::Fade(this, 0.0, shownOpacity, fadeDuration, true, this))
    , slide(new Animations::Slide(this, Animations::Slide::FromBelow, slideDistance, slideDuration, this))
    , direction(std::clamp(direction, 0, 3))
    , alignmentHint(std::clamp(alignmentHint, 0, 2))
    , gap(gap)
{
    setProperty("class", QStringLiteral("inverted"));
    setAttribute(Qt::WA_StyledBackground);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::ClickFocus);
    if (control)
        control->setPopOutWidget(this);
    // Without a handle there is nothing to drag by.
    disableDragging();
    applyDockedMargins();
    armUndockOnDrag();
    hide();

    connect(fade, &Animations::Fade::fadeFinished, this, [this] { state = isVisible() ? Shown : Hidden; });
    connect(slide, &QAbstractAnimation::finished, this, [this] {
        // The slide out leaves the panel lower by its distance; put it back so
        // the next show starts from the right place.
        if (state == Hidden || state == Hiding)
            move(restingPosition);
    });
    watchParent(parent);
}

void BasicPopOutWidget::watchParent(QWidget* parent)
{
    // A docked panel follows its control when its parent is resized.
    if (parent)
        parent->installEventFilter(this);
}

void BasicPopOutWidget::forgetControl(const Bases::PopOutWidgetControl* gone)
{
    if (control == gone)
        control = nullptr;
}

BasicPopOutWidget::~BasicPopOutWidget()
{
    disconnect(undockOnDrag);
    disconnect(dockWhenHidden);
}

void BasicPopOutWidget::settleSlide()
{
    // A slide cut short leaves the panel part-way; put it back where it rests
    // before starting another, or every interrupted hide would lower it.
    if (slide->state() != QAbstractAnimation::Stopped) {
        slide->stop();
        move(restingPosition);
    }
}

void BasicPopOutWidget::showPopOut()
{
    settleSlide();
    raise();
    if (docked) {
        reposition();
        applyShape();
        setFocus();
    }
    restingPosition = pos();
    state = Showing;
    slide->setDirection(Animations::Slide::FromBelow);
    slide->slide();
    fade->fadeIn();
}

void BasicPopOutWidget::hidePopOut()
{
    settleSlide();
    restingPosition = pos();
    state = Hiding;
    slide->setDirection(Animations::Slide::OutDown);
    slide->slide();
    fade->fadeOut();
}

void BasicPopOutWidget::dock()
{
    if (docked)
        return;
    if (!isVisible()) {
        finishDocking();
        return;
    }
    disconnect(dockWhenHidden);
    dockWhenHidden = connect(fade, &Animations::Fade::targetHidden, this, [this] {
        disconnect(dockWhenHidden);
        finishDocking();
        showPopOut();
    });
    hidePopOut();
}

void BasicPopOutWidget::finishDocking()
{
    docked = true;
    if (floatingHandle)
        floatingHandle->applyInactiveStyle();
    armUndockOnDrag();
    applyDockedMargins();
    raise();
    reposition();
    applyShape();
    setFocus();
    emit dockedChanged(true);
}

void BasicPopOutWidget::undock()
{
    if (!docked)
        return;
    disconnect(undockOnDrag);
    docked = false;
    setContentsMargins(contentMargin, contentMargin, contentMargin, contentMargin);
    if (floatingHandle)
        floatingHandle->applyActiveStyle();
    clearMask();
    emit dockedChanged(false);
}

bool BasicPopOutWidget::isDocked() const
{
    return docked;
}

QWidget* BasicPopOutWidget::referenceWidget() const
{
    return parentWidget() ? parentWidget() : QApplication::activeWindow();
}

void BasicPopOutWidget::reposition()
{
    QWidget* target = control ? control->getTargetWidget() : nullptr;
    QWidget* reference = referenceWidget();
    if (!target || !reference || reference == this)
        return;
    ensurePolished();
    if (!testAttribute(Qt::WA_Resized) || fittedToArea) {
        adjustSize();
        fittedToArea = false;
    }
    // Taller than its area (a small screen): cut to it, no lower than the
    // layout allows; a panel that can be this tall scrolls its contents.
    if (height() > reference->height()) {
        resize(width(), std::max(reference->height(), minimumSizeHint().height()));
        fittedToArea = true;
    }
    const QRect controlRect(reference->mapFromGlobal(target->mapToGlobal(QPoint(0, 0))), target->size());
    QPoint position = computePosition(controlRect, reference->size(), size(), direction, alignmentHint, gap);
    if (!parentWidget())
        position = reference->mapToGlobal(position);
    move(position);
}

QPoint BasicPopOutWidget::computePosition(const QRect& control, const QSize& areaSize, const QSize& size, int direction,
                                          int alignmentHint, int gap)
{
    const bool horizontal = isHorizontal(direction);
    // Main axis: beside the control on the requested side.
    int main = 0;
    switch (direction) {
    case RightOfControl:
        main = control.x() + control.width() + gap;
        break;
    case LeftOfControl:
        main = control.x() - size.width() - gap;
        break;
    case AboveControl:
        main = control.y() - size.height() - gap;
        break;
    default:
        main = control.y() + control.height() + gap;
        break;
    }

    // Cross axis: along the control's edge.
    const int controlStart = horizontal ? control.y() : control.x();
    const int controlLength = horizontal ? control.height() : control.width();
    const int length = horizontal ? size.height() : size.width();
    const int area = horizontal ? areaSize.height() : areaSize.width();
    auto candidate = [&](int hint) {
        switch (hint) {
        case AlignFarEnds:
            return controlStart + controlLength - length;
        case AlignCentres:
            return controlStart + (controlLength - length) / 2;
        default:
            return controlStart;
        }
    };
    auto fits = [&](int start) { return start >= 0 && start + length <= area; };

    std::optional<int> cross;
    if (fits(candidate(alignmentHint)))
        cross = candidate(alignmentHint);
    else if (alignmentHint != AlignNearEnds && fits(candidate(AlignNearEnds)))
        cross = candidate(AlignNearEnds);
    else if (alignmentHint != AlignFarEnds && fits(candidate(AlignFarEnds)))
        cross = candidate(AlignFarEnds);
    else if (alignmentHint != AlignCentres && fits(candidate(AlignCentres)))
        cross = candidate(AlignCentres);
    const int crossPosition = cross.value_or((area - length) / 2);
    return horizontal ? QPoint(main, crossPosition) : QPoint(crossPosition, main);
}

QRegion BasicPopOutWidget::bubbleShape(const QSize& size, int direction, const QPoint& target)
{
    int left = 0;
    int top = 0;
    int right = size.width();
    int bottom = size.height();
    // The arrow sits on the side facing the control.
    switch (direction) {
    case RightOfControl:
        left += arrowLength;
        break;
    case LeftOfControl:
        right -= arrowLength;
        break;
    case AboveControl:
        bottom -= arrowLength;
        break;
    default:
        top += arrowLength;
        break;
    }
    const int c = cornerCut;
    const QPolygon body({QPoint(left + c, top), QPoint(right - c, top), QPoint(right, top + c),
                         QPoint(right, bottom - c), QPoint(right - c, bottom), QPoint(left + c, bottom),
                         QPoint(left, bottom - c), QPoint(left, top + c)});
    QRegion shape(body, Qt::WindingFill);

    // The base stays on the body even when the control's middle lies beyond it.
    const int half = arrowWidth / 2;
    const bool horizontal = isHorizontal(direction);
    const int low = (horizontal ? top : left) + c + half;
    const int high = (horizontal ? bottom : right) - c - half;
    if (high < low)
        return shape;
    const int middle = std::clamp(horizontal ? target.y() : target.x(), low, high);
    QPolygon arrow;
    switch (direction) {
    case RightOfControl:
        arrow << QPoint(left + 1, middle - half) << QPoint(0, middle) << QPoint(left + 1, middle + half);
        break;
    case LeftOfControl:
        arrow << QPoint(right - 1, middle - half) << QPoint(size.width(), middle) << QPoint(right - 1, middle + half);
        break;
    case AboveControl:
        arrow << QPoint(middle - half, bottom - 1) << QPoint(middle, size.height())
              << QPoint(middle + half, bottom - 1);
        break;
    default:
        arrow << QPoint(middle - half, top + 1) << QPoint(middle, 0) << QPoint(middle + half, top + 1);
        break;
    }
    return shape.united(QRegion(arrow, Qt::WindingFill));
}

void BasicPopOutWidget::applyShape()
{
    if (!docked)
        return;
    QWidget* target = control ? control->getTargetWidget() : nullptr;
    if (!target) {
        clearMask();
        return;
    }
    const QRect facing(target->mapToGlobal(QPoint(0, 0)), target->size());
    QPoint middle;
    switch (direction) {
    case RightOfControl:
        middle = QPoint(facing.x() + facing.width(), facing.center().y());
        break;
    case LeftOfControl:
        middle = QPoint(facing.x(), facing.center().y());
        break;
    case AboveControl:
        middle = QPoint(facing.center().x(), facing.y());
        break;
    default:
        middle = QPoint(facing.center().x(), facing.y() + facing.height());
        break;
    }
    setMask(bubbleShape(size(), direction, mapFromGlobal(middle)));
}

void BasicPopOutWidget::applyDockedMargins()
{
    const int m = contentMargin;
    const int a = contentMargin + arrowLength;
    switch (direction) {
    case RightOfControl:
        setContentsMargins(a, m, m, m);
        break;
    case LeftOfControl:
        setContentsMargins(m, m, a, m);
        break;
    case AboveControl:
        setContentsMargins(m, m, m, a);
        break;
    default:
        setContentsMargins(m, a, m, m);
        break;
    }
}

void BasicPopOutWidget::armUndockOnDrag()
{
    disconnect(undockOnDrag);
    undockOnDrag = connect(this, &DraggableWidget::widgetMoveStarted, this, [this] {
        disconnect(undockOnDrag);
        undock();
    });
}

void BasicPopOutWidget::setDragHandle(AddOns::FloatingWidgetHandle* handle)
{
    disconnect(handleDock);
    floatingHandle = handle;
    DraggableWidget::setDragHandle(handle);
    if (!handle) {
        disableDragging();
        return;
    }
    enableDragging();
    handleDock = connect(handle, &AddOns::FloatingWidgetHandle::dockWidget, this, &BasicPopOutWidget::dock);
    if (docked)
        handle->applyInactiveStyle();
    else
        handle->applyActiveStyle();
}

AddOns::FloatingWidgetHandle* BasicPopOutWidget::getFloatingHandle() const
{
    return floatingHandle.data();
}

void BasicPopOutWidget::setPopOutDirection(int value)
{
    direction = std::clamp(value, 0, 3);
    if (docked) {
        applyDockedMargins();
        if (isVisible()) {
            reposition();
            applyShape();
        }
    }
}

int BasicPopOutWidget::getPopOutDirection() const
{
    return direction;
}

void BasicPopOutWidget::setAlignmentHint(int hint)
{
    alignmentHint = std::clamp(hint, 0, 2);
}

int BasicPopOutWidget::getAlignmentHint() const
{
    return alignmentHint;
}

void BasicPopOutWidget::setGap(int value)
{
    gap = value;
}

int BasicPopOutWidget::getGap() const
{
    return gap;
}

Bases::PopOutWidgetControl* BasicPopOutWidget::getPopOutControl() const
{
    return control;
}

int BasicPopOutWidget::getState() const
{
    return state;
}

bool BasicPopOutWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this) {
        // The viewer moves its pop-outs from the toolbars into the display
        // area: from then on that area's resizes are the ones to follow.
        if (event->type() == QEvent::ParentAboutToChange && parentWidget())
            parentWidget()->removeEventFilter(this);
        else if (event->type() == QEvent::ParentChange)
            watchParent(parentWidget());
    } else if (watched == parentWidget() && event->type() == QEvent::Resize && docked && isVisible() &&
               state != Hiding) {
        reposition();
        applyShape();
    }
    return DraggableWidget::eventFilter(watched, event);
}

} // namespace Keldar::GUI::Widgets::Containers
