#pragma once

#include <QList>
#include <QMargins>
#include <QPointer>

namespace Keldar::GUI::Widgets::Bases {

class DraggableWidget;

// Draggable widgets that keep `spacing` pixels apart while dragged. The zone
// margins are handed to every member as it joins. A widget belongs to at most
// one group; adding it to another moves it there.
class DraggableWidgetGroup
{
public:
    DraggableWidgetGroup();
    explicit DraggableWidgetGroup(const QList<DraggableWidget*>& widgets);
    DraggableWidgetGroup(DraggableWidgetGroup&& other) noexcept;
    DraggableWidgetGroup& operator=(DraggableWidgetGroup&& other) noexcept;
    DraggableWidgetGroup(const DraggableWidgetGroup&) = delete;
    DraggableWidgetGroup& operator=(const DraggableWidgetGroup&) = delete;
    ~DraggableWidgetGroup();

    // The one group of the whole application, which the viewer's pop-outs and
    // overlay displays join so that none is dragged over another. Members in
    // different parents do not meet, so one group serves every window.
    static DraggableWidgetGroup& applicationGroup();

    void add(DraggableWidget* widget);
    void remove(DraggableWidget* widget);
    QList<DraggableWidget*> getMembers() const;

    void setSpacing(int spacing);
    int getSpacing() const;

    void setZoneMargins(int all);
    void setZoneMargins(int horizontal, int vertical);
    void setZoneMargins(int left, int top, int right, int bottom);
    void setZoneMargins(const QMargins& margins);
    QMargins getZoneMargins() const;

private:
    void adoptMembers();

    QList<QPointer<DraggableWidget>> members;
    int spacing = 0;
    QMargins zoneMargins;
};

} // namespace Keldar::GUI::Widgets::Bases
