#pragma once

#include <keldar/gui/Toast.h>

#include <QObject>
#include <QPointer>

#include <vector>

namespace Keldar::GUI::Helpers::Widgets {

// Places toasts in one widget: stacked from the chosen edge, below an initial
// offset, sliding together again when one of them fades out.
class ToastDisplayManager : public QObject
{
    Q_OBJECT

public:
    using Toast = GUI::Widgets::Notifications::Toast;
    using ToastLocation = GUI::Widgets::Notifications::ToastLocation;

    explicit ToastDisplayManager(QWidget* widget, ToastLocation location = ToastLocation::TopCentre,
                                 int initialOffset = Toast::DefaultMargin);

    // Takes ownership. A toast whose parent is not this manager's widget is
    // deleted and false returned.
    bool displayToast(Toast* toast, int durationMs);
    void dismissAllToasts();

    void setInitialOffset(int pixels);
    int getInitialOffset() const;
    void setLocation(ToastLocation location);
    ToastLocation getLocation() const;
    QWidget* getWidget() const;

    // The toasts still listed (hidden ones are dropped on the next display).
    std::vector<Toast*> getToasts() const;

public slots:
    void relayout();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeVisibleToasts(bool animated);

    QWidget* widget;
    ToastLocation location;
    int initialOffset;
    std::vector<QPointer<Toast>> toasts;
};

} // namespace Keldar::GUI::Helpers::Widgets
