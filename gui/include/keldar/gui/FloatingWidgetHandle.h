#pragma once

#include <QFrame>

namespace Keldar::GUI::Widgets::AddOns {

// The small grip by which a pop-out is torn off and dragged. Double-clicking
// it asks for the pop-out to go back to its button.
class FloatingWidgetHandle : public QFrame
{
    Q_OBJECT

public:
    explicit FloatingWidgetHandle(QWidget* parent = nullptr);

    // Styled through the class "widgetHandleActive" / "widgetHandleInactive".
    void applyActiveStyle();
    void applyInactiveStyle();
    bool isActive() const;

    QSize sizeHint() const override;

signals:
    void dockWidget();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void applyStyleClass(const char* styleClass);

    bool active = false;
};

} // namespace Keldar::GUI::Widgets::AddOns
