#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

// gtest_main owns main(), so widget tests make their application object on
// first use. It is never destroyed: widgets kept in function statics would
// otherwise outlive it.
inline QApplication& widgetTestApplication()
{
    static int argc = 1;
    static char name[] = "keldar-gui-widget-test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

class WidgetTest : public ::testing::Test
{
protected:
    void SetUp() override { widgetTestApplication(); }
};

// Mouse events with explicit global positions: drags are measured in global
// coordinates, and the widget moves under the pointer while it is dragged.
inline void sendMouse(QWidget* widget, QEvent::Type type, const QPoint& local, const QPoint& global,
                      Qt::MouseButton button = Qt::LeftButton, Qt::MouseButtons buttons = Qt::LeftButton)
{
    QMouseEvent event(type, QPointF(local), QPointF(local), QPointF(global), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}
