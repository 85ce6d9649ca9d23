#pragma once

// The look shared by the pop-out panels: bold section headings, two-column
// sections of label and control, and dividers between sections.

#include <QString>

class QFrame;
class QGridLayout;
class QLabel;
class QWidget;

namespace Keldar::OndrixLumivane::PanelLayout {

QLabel* heading(const QString& text, QWidget* parent);
QGridLayout* section();
// A label on the left, `control` on the right of a new row.
void addRow(QGridLayout* grid, const QString& label, QWidget* control, QWidget* parent);
QFrame* divider(QWidget* parent);

} // namespace Keldar::OndrixLumivane::PanelLayout
