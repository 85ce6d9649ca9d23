#include <keldar/gui/DraggableWidgetGroup.h>

#include <keldar/gui/DraggableWidget.h>

namespace Keldar::GUI::Widgets::Bases {

DraggableWidgetGroup::DraggableWidgetGroup() = default;

DraggableWidgetGroup::DraggableWidgetGroup(const QList<DraggableWidget*>& widgets)
{
    for (DraggableWidget* widget : widgets)
        add(widget);
}

DraggableWidgetGroup::DraggableWidgetGroup(DraggableWidgetGroup&& other) noexcept
    : members(std::move(other.members))
    , spacing(other.spacing)
    , zoneMargins(other.zoneMargins)
{
    other.members.clear();
    adoptMembers();
}

DraggableWidgetGroup& DraggableWidgetGroup::operator=(DraggableWidgetGroup&& other) noexcept
{
    if (this == &other)
        return *this;
    for (const QPointer<DraggableWidget>& member : members)
        if (member && member->group == this)
            member->group = nullptr;
    members = std::move(other.members);
    other.members.clear();
    spacing = other.spacing;
    zoneMargins = other.zoneMargins;
    adoptMembers();
    return *this;
}

DraggableWidgetGroup::~DraggableWidgetGroup()
{
    // Members outlive the group often (it is usually a member of a panel).
    for (const QPointer<DraggableWidget>& member : members)
        if (member && member->group == this)
            member->group = nullptr;
}

DraggableWidgetGroup& DraggableWidgetGroup::applicationGroup()
{
    // Destroyed after the widgets (at exit), when it holds only null pointers.
    static DraggableWidgetGroup group;
    return group;
}

void DraggableWidgetGroup::adoptMembers()
{
    for (const QPointer<DraggableWidget>& member : members)
        if (member)
            member->group = this;
}

void DraggableWidgetGroup::add(DraggableWidget* widget)
{
    if (!widget)
        return;
    members.removeAll(nullptr);
    if (members.contains(widget))
        return;
    if (widget->group && widget->group != this)
        widget->group->remove(widget);
    members.append(widget);
    widget->group = this;
    widget->setDragZoneMargins(zoneMargins);
}

void DraggableWidgetGroup::remove(DraggableWidget* widget)
{
    if (!widget)
        return;
    if (members.removeAll(widget) > 0 && widget->group == this)
        widget->group = nullptr;
}

QList<DraggableWidget*> DraggableWidgetGroup::getMembers() const
{
    QList<DraggableWidget*> alive;
    for (const QPointer<DraggableWidget>& member : members)
        if (member)
            alive.append(member.data());
    return alive;
}

void DraggableWidgetGroup::setSpacing(int value)
{
    spacing = value;
}

int DraggableWidgetGroup::getSpacing() const
{
    return spacing;
}

void DraggableWidgetGroup::setZoneMargins(int all)
{
    setZoneMargins(all, all, all, all);
}

void DraggableWidgetGroup::setZoneMargins(int horizontal, int vertical)
{
    setZoneMargins(horizontal, vertical, horizontal, vertical);
}

void DraggableWidgetGroup::setZoneMargins(int left, int top, int right, int bottom)
{
    setZoneMargins(QMargins(left, top, right, bottom));
}

void DraggableWidgetGroup::setZoneMargins(const QMargins& margins)
{
    // Copied when a member joins, as the members' own margins may differ later.
    zoneMargins = margins;
}

QMargins DraggableWidgetGroup::getZoneMargins() const
{
    return zoneMargins;
}

} // namespace Keldar::GUI::Widgets::Bases
