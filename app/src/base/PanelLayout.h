#pragma once

// The look shared by the pop-out panels: bold section headings, two-column
// sections of label and control, and dividers between sections.

#include <QString>

class QFrame;
class QGridLayout;
class QLabel;
class QVBoxLayout;
class QWidget;

namespace Keldar::GUI::Widgets::Containers {
class BasicPopOutWidget;
}

namespace Keldar::OndrixLumivane::PanelLayout {

QLabel* heading(const QString& text, QWidget* parent);
QGridLayout* section();
// A label on the left, `control` on the right of a new row.
void addRow(QGridLayout* grid, const QString& label, QWidget* control, QWidget* parent);
QFrame* divider(QWidget* parent);
// The vertical layout of a pop-out, a drag handle on top.
QVBoxLayout* popOutBody(GUI::Widgets::Containers::BasicPopOutWidget* popOut);

} // namespace Keldar::OndrixLumivane::PanelLayout
