#include "base/PanelLayout.h"

#include <keldar/gui/BasicPopOutWidget.h>
#include <keldar/gui/FloatingWidgetHandle.h>

#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QVariant>

namespace Keldar::OndrixLumivane::PanelLayout {

QLabel* heading(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setProperty("class", QStringLiteral("sectionHeading"));
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QGridLayout* section()
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(1, 1);
    return grid;
}

void addRow(QGridLayout* grid, const QString& label, QWidget* control, QWidget* parent)
{
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(label, parent), row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(control, row, 1, Qt::AlignRight | Qt::AlignVCenter);
}

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setProperty("class", QStringLiteral("sectionDivider"));
    line->setFrameShape(QFrame::HLine);
    return line;
}

QVBoxLayout* popOutBody(GUI::Widgets::Containers::BasicPopOutWidget* popOut)
{
    auto* handle = new GUI::Widgets::AddOns::FloatingWidgetHandle(popOut);
    handle->setObjectName(QStringLiteral("handle"));
    handle->setFixedHeight(10);
    auto* layout = new QVBoxLayout(popOut);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(handle);
    popOut->setDragHandle(handle);
    return layout;
}

} // namespace Keldar::OndrixLumivane::PanelLayout
