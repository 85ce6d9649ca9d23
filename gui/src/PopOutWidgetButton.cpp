#include <keldar/gui/PopOutWidgetButton.h>

namespace Keldar::GUI::Widgets::Buttons {

PopOutWidgetButton::PopOutWidgetButton(QWidget* parent)
    : SvgButton(parent)
    , PopOutWidgetControl(this)
{
    setCheckable(true);
    connect(this, &QAbstractButton::toggled, this, [this](bool on) { handleToggled(on); });
}

PopOutWidgetButton::PopOutWidgetButton(const QString& fileName, QWidget* parent)
    : PopOutWidgetButton(parent)
{
    loadImage(fileName);
}

} // namespace Keldar::GUI::Widgets::Buttons
