#pragma once

#include <QPointer>

class QWidget;

namespace Keldar::GUI::Widgets::Containers {
class BasicPopOutWidget;
}

namespace Keldar::GUI::Widgets::Bases {

// Mix-in for the control (usually a button) that owns a pop-out panel: the
// panel opens against the target widget and follows the control's toggling.
class PopOutWidgetControl
{
public:
    explicit PopOutWidgetControl(QWidget* target);
    virtual ~PopOutWidgetControl();
    PopOutWidgetControl(const PopOutWidgetControl&) = delete;
    PopOutWidgetControl& operator=(const PopOutWidgetControl&) = delete;

    void setPopOutWidget(Containers::BasicPopOutWidget* popOut);
    Containers::BasicPopOutWidget* getPopOutWidget() const;
    QWidget* getTargetWidget() const;

    // On and hidden: show the pop-out; off and visible: hide it.
    void handleToggled(bool on);

private:
    QPointer<QWidget> target;
    QPointer<Containers::BasicPopOutWidget> popOut;
};

} // namespace Keldar::GUI::Widgets::Bases
