#include <keldar/gui/OndrixLogo.h>

#include <keldar/gui/SvgFileError.h>

#include "SameColour.h"

#if __has_include(<keldar/icons/Icons.h>)
#include <keldar/icons/Icons.h>
#define KELDAR_GUI_HAS_ICONS 1
#endif

namespace Keldar::GUI::Widgets::Displays {

OndrixLogo::OndrixLogo(QWidget* parent)
    : SvgLabel(parent)
{
#ifdef KELDAR_GUI_HAS_ICONS
    // The logo lives in the icon library, whose resources register only once
    // the library is loaded; calling into it keeps the link.
    KD_Icons_initialise();
#endif
    try {
        loadImage(QString::fromLatin1(resourcePath));
    } catch (const Helpers::Svg::SvgFileError&) {
        // Without the icon resources the logo stays blank rather than taking
        // the capture or the window down with it.
    }
}

void OndrixLogo::setColour(const QColor& value)
{
    // The window recolours the logo while it paints; a repaint for an
    // unchanged colour would paint the window again, for ever.
    if (Helpers::sameColour(value, colour))
        return;
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
