#include <keldar/gui/ToastDisplayManager.h>

#include <QEvent>

#include <algorithm>
#include <map>

namespace Keldar::GUI::Helpers::Widgets {

ToastDisplayManager::ToastDisplayManager(QWidget* widget, ToastLocation location, int initialOffset)
    : QObject(widget)
    , widget(widget)
    , location(location)
    , initialOffset(initialOffset)
{
    // Keep toasts at their edge when the window is resized.
    widget->installEventFilter(this);
}

bool ToastDisplayManager::displayToast(Toast* toast, int durationMs)
{
    if (toast == nullptr) {
        return false;
    }
    // Deferred: a hidden toast may be the one whose signal led us here.
    for (auto& listed : toasts) {
        if (listed && listed->isHidden()) {
            listed->deleteLater();
            listed = nullptr;
        }
    }
    toasts.erase(std::remove(toasts.begin(), toasts.end(), nullptr), toasts.end());

    if (toast->parentWidget() != widget) {
        delete toast;
        return false;
    }

    connect(toast, &Toast::hidden, this, &ToastDisplayManager::relayout);
    // Toasts stack per edge: after a change of location, new toasts start
    // their own stack instead of queueing behind those at the other edge.
    const auto n = static_cast<int>(std::count_if(toasts.begin(), toasts.end(), [&](const QPointer<Toast>& listed) {
        return listed && listed->getLocation() == toast->getLocation();
    }));
    toast->setYMargin(n * (toast->height() + Toast::DefaultMargin) + initialOffset, false);
    toast->show(durationMs);
    toasts.emplace_back(toast);
    return true;
}

void ToastDisplayManager::relayout()
{
    placeVisibleToasts(true);
}

void ToastDisplayManager::placeVisibleToasts(bool animated)
{
    std::map<ToastLocation, int> positions;
    for (const auto& toast : toasts) {
        if (!toast || toast->isHidden()) {
            continue;
        }
        int& k = positions[toast->getLocation()];
        toast->setYMargin(k * (toast->height() + Toast::DefaultMargin) + initialOffset, animated);
        if (!animated) {
            toast->setXMargin(Toast::DefaultMargin);
        }
        ++k;
    }
}

void ToastDisplayManager::dismissAllToasts()
{
    for (const auto& toast : toasts) {
        if (toast && !toast->isHidden()) {
            toast->dismiss();
        }
    }
}

void ToastDisplayManager::setInitialOffset(int pixels)
{
    initialOffset = pixels;
    relayout();
}

int ToastDisplayManager::getInitialOffset() const
{
    return initialOffset;
}

void ToastDisplayManager::setLocation(ToastLocation newLocation)
{
    location = newLocation;
}

ToastDisplayManager::ToastLocation ToastDisplayManager::getLocation() const
{
    return location;
}

QWidget* ToastDisplayManager::getWidget() const
{
    return widget;
}

std::vector<ToastDisplayManager::Toast*> ToastDisplayManager::getToasts() const
{
    std::vector<Toast*> result;
    for (const auto& toast : toasts) {
        if (toast) {
            result.push_back(toast.data());
        }
    }
    return result;
}

bool ToastDisplayManager::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == widget && event->type() == QEvent::Resize) {
        placeVisibleToasts(false);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace Keldar::GUI::Helpers::Widgets
