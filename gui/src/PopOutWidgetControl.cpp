#include <keldar/gui/PopOutWidgetControl.h>

#include <keldar/gui/BasicPopOutWidget.h>

namespace Keldar::GUI::Widgets::Bases {

PopOutWidgetControl::PopOutWidgetControl(QWidget* target)
    : target(target)
{
}

// The pop-out usually lives in another parent than its control and may
// outlive it; it must not keep pointing at a control that is gone.
PopOutWidgetControl::~PopOutWidgetControl()
{
    if (popOut)
        popOut->forgetControl(this);
}

void PopOutWidgetControl::setPopOutWidget(Containers::BasicPopOutWidget* widget)
{
    if (popOut && popOut != widget)
        popOut->forgetControl(this);
    popOut = widget;
}

Containers::BasicPopOutWidget* PopOutWidgetControl::getPopOutWidget() const
{
    return popOut.data();
}

QWidget* PopOutWidgetControl::getTargetWidget() const
{
    return target;
}

void PopOutWidgetControl::handleToggled(bool on)
{
    if (!popOut)
        return;
    // A pop-out still fading out counts as hidden: toggling back on during the
    // fade must bring it back, not leave the control on and the panel gone.
    const bool hiding = popOut->getState() == Containers::BasicPopOutWidget::Hiding;
    if (on && (!popOut->isVisible() || hiding))
        popOut->showPopOut();
    else if (!on && popOut->isVisible() && !hiding)
        popOut->hidePopOut();
}

} // namespace Keldar::GUI::Widgets::Bases
