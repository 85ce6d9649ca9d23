#pragma once

#include <keldar/gui/DraggableWidget.h>

#include <QMetaObject>
#include <QPointer>
#include <QRegion>

namespace Keldar::GUI::Animations {
class Fade;
class Slide;
} // namespace Keldar::GUI::Animations

namespace Keldar::GUI::Widgets::AddOns {
class FloatingWidgetHandle;
}

namespace Keldar::GUI::Widgets::Bases {
class PopOutWidgetControl;
}

namespace Keldar::GUI::Widgets::Containers {

// A panel that opens beside its control as a speech bubble pointing at it.
// Dragging its handle tears it off (undocks it); double-clicking the handle
// puts it back beside the control.
class BasicPopOutWidget : public Bases::DraggableWidget
{
    Q_OBJECT

public:
    enum Direction { RightOfControl = 0, LeftOfControl = 1, AboveControl = 2, BelowControl = 3 };
    // Along the control's edge: far ends (right or bottom edges) aligned,
    // centred on the control, or near ends (left or top edges) aligned.
    enum AlignmentHint { AlignFarEnds = 0, AlignCentres = 1, AlignNearEnds = 2 };
    enum State { Hidden = 0, Shown = 1, Showing = 2, Hiding = 3 };
    static constexpr int arrowLength = 7;
    static constexpr int arrowWidth = 20;
    static constexpr int cornerCut = 2;
    static constexpr int slideDistance = 10;
    static constexpr int contentMargin = 10;

    BasicPopOutWidget(Bases::PopOutWidgetControl* control, int direction, int gap, QWidget* parent = nullptr);
    BasicPopOutWidget(Bases::PopOutWidgetControl* control, int direction, int alignmentHint, int gap,
                      QWidget* parent = nullptr);
    ~BasicPopOutWidget() override;

    void showPopOut();
    void hidePopOut();
    void dock();
    void undock();
    bool isDocked() const;
    // Places the pop-out beside its control inside the parent.
    void reposition();

    // None disables dragging.
    void setDragHandle(AddOns::FloatingWidgetHandle* handle);
    AddOns::FloatingWidgetHandle* getFloatingHandle() const;

    void setPopOutDirection(int direction);
    int getPopOutDirection() const;
    void setAlignmentHint(int hint);
    int getAlignmentHint() const;
    void setGap(int gap);
    int getGap() const;
    // None once the control is gone.
    Bases::PopOutWidgetControl* getPopOutControl() const;
    int getState() const;

    // Top-left corner for a pop-out of `size` beside `control` (both in the
    // coordinates of an area of `areaSize`). The cross axis follows the hint
    // when that fits, then the other alignments, and is centred in the area
    // when none fits.
    static QPoint computePosition(const QRect& control, const QSize& areaSize, const QSize& size, int direction,
                                  int alignmentHint, int gap);
    // The bubble outline for a pop-out of `size` whose arrow points at
    // `target` (in pop-out coordinates) from the side facing the control.
    static QRegion bubbleShape(const QSize& size, int direction, const QPoint& target);

signals:
    void dockedChanged(bool docked);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class Bases::PopOutWidgetControl;
    // Called by a control that goes away or takes another pop-out.
    void forgetControl(const Bases::PopOutWidgetControl* gone);
    void watchParent(QWidget* parent);

    void armUndockOnDrag();
    void applyDockedMargins();
    void applyShape();
    void finishDocking();
    void settleSlide();
    QWidget* referenceWidget() const;

    Bases::PopOutWidgetControl* control;
    Animations::Fade* fade;
    Animations::Slide* slide;
    int direction;
    int alignmentHint;
    int gap;
    bool docked = true;
    // Cut to the height of its area by reposition(); sized afresh next time.
    bool fittedToArea = false;
    QPointer<AddOns::FloatingWidgetHandle> floatingHandle;
    QMetaObject::Connection undockOnDrag;
    QMetaObject::Connection dockWhenHidden;
    QMetaObject::Connection handleDock;
    int state = Hidden;
    QPoint restingPosition;
};

} // namespace Keldar::GUI::Widgets::Containers
