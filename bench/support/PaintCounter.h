#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>

#include <functional>

namespace Keldar::Bench {

// Counts the paints of the widgets it is installed on and calls `onPaint`
// after each: the filter runs before the widget paints, so it lets the widget
// paint first.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    std::function<void()> onPaint;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint) {
            return false;
        }
        auto* widget = static_cast<QWidget*>(watched);
        widget->removeEventFilter(this);
        QCoreApplication::sendEvent(widget, event);
        widget->installEventFilter(this);
        ++paints;
        if (onPaint) {
            onPaint();
        }
        return true;
    }
};

} // namespace Keldar::Bench
