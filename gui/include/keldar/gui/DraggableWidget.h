#pragma once

#include <QMargins>
#include <QPoint>
#include <QPointer>
#include <QWidget>

namespace Keldar::GUI::Widgets::Bases {

class DraggableWidgetGroup;

// A widget the user moves by dragging it (or its handle). It stays inside its
// parent, keeping the drag-zone margins free, and stops short of the other
// visible members of its group.
class DraggableWidget : public QWidget
{
    Q_OBJECT

public:
    explicit DraggableWidget(QWidget* parent = nullptr);
    ~DraggableWidget() override;

    // None means the widget itself is the handle.
    void setDragHandle(QWidget* handle);
    QWidget* getDragHandle() const;
    void enableDragging();
    void disableDragging();
    bool draggingIsEnabled() const;

    void setDragZoneMargins(int all);
    void setDragZoneMargins(int horizontal, int vertical);
    void setDragZoneMargins(int left, int top, int right, int bottom);
    void setDragZoneMargins(const QMargins& margins);
    QMargins getDragZoneMargins() const;

    DraggableWidgetGroup* getGroup() const;

    // Where a drag by `delta` from the current position would leave the widget,
    // after the parent and group limits.
    QPoint constrainedPosition(const QPoint& delta) const;

signals:
    void widgetMoveStarted();
    void widgetMoveFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class DraggableWidgetGroup;
    void updateCursor();
    QWidget* dragTarget();

    QPointer<QWidget> handle;
    bool draggingEnabled = true;
    bool dragging = false;
    bool moveStarted = false;
    QPoint lastGlobalPosition;
    QMargins dragZoneMargins;
    DraggableWidgetGroup* group = nullptr;
};

} // namespace Keldar::GUI::Widgets::Bases
