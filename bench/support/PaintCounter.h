#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>

#include <functional>

namespace Keldar::Bench {

// Calls `onPaint` after each paint of the widgets it is installed on: the
// filter runs before the widget paints, so it lets the widget paint first.
class PaintCounter : public QObject
{
public:
    std::function<void()> onPaint;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && onPaint) {
            auto* widget = static_cast<QWidget*>(watched);
            widget->removeEventFilter(this);
            QCoreApplication::sendEvent(widget, event);
            widget->installEventFilter(this);
            onPaint();
            return true;
        }
        return false;
    }
};

} // namespace Keldar::Bench
