#pragma once

#include <keldar/gui/PopOutWidgetControl.h>
#include <keldar/gui/SvgButton.h>

namespace Keldar::GUI::Widgets::Buttons {

// A checkable icon button that opens its pop-out while checked.
class PopOutWidgetButton : public SvgButton, public Bases::PopOutWidgetControl
{
    Q_OBJECT

public:
    explicit PopOutWidgetButton(QWidget* parent = nullptr);
    // Throws SvgFileError when the file cannot be opened.
    explicit PopOutWidgetButton(const QString& fileName, QWidget* parent = nullptr);
};

} // namespace Keldar::GUI::Widgets::Buttons
