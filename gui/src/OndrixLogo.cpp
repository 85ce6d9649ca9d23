#include <keldar/gui/OndrixLogo.h>

#include <keldar/gui/SvgFileError.h>

namespace Keldar::GUI::Widgets::Displays {

OndrixLogo::OndrixLogo(QWidget* parent) : SvgLabel(parent)
{
    try {
        loadImage(QString::fromLatin1(resourcePath));
    } catch (const Helpers::Svg::SvgFileError&) {
        // Without the icon resources the logo stays blank rather than taking
        // the capture or the window down with it.
    }
}

void OndrixLogo::setColour(const QColor& value)
{
    colour = value;
    svgChanged();
}

QColor OndrixLogo::getColour() const
{
    return getDefaultFillColour();
}

QColor OndrixLogo::getDefaultFillColour() const
{
    return colour.isValid() ? colour : palette().color(foregroundRole());
}

QColor OndrixLogo::getDefaultStrokeColour() const
{
    return getDefaultFillColour();
}

} // namespace Keldar::GUI::Widgets::Displays
