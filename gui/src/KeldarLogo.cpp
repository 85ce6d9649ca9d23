#include <keldar/gui/KeldarLogo.h>

#include <keldar/gui/SvgFileError.h>

#include "SameColour.h"

#if __has_include(<keldar/icons/Icons.h>)
#include <keldar/icons/Icons.h>
#define KELDAR_GUI_HAS_ICONS 1
#endif

#include <QDomDocument>
#include <QEvent>

namespace Keldar::GUI::Widgets::Displays {

namespace {

// Elements of the artwork painted in the second colour: those whose id starts
// with "second" (for example "secondColour" or "second-1").
QStringList findSecondColourIds(const QByteArray& source)
{
    QStringList ids;
    QDomDocument document;
    if (!document.setContent(source))
        return ids;
    QList<QDomElement> pending{document.documentElement()};
    while (!pending.isEmpty()) {
        const QDomElement element = pending.takeFirst();
        const QString id = element.attribute(QStringLiteral("id"));
        if (id.startsWith(QLatin1String("second"), Qt::CaseInsensitive))
            ids << id;
        else
            for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
                pending << child;
    }
    return ids;
}

} // namespace

KeldarLogo::KeldarLogo(QWidget* parent)
    : SvgLabel(parent)
{
#ifdef KELDAR_GUI_HAS_ICONS
    // The logo lives in the icon library, whose resources register only once
    // the library is loaded; calling into it keeps the link.
    KD_Icons_initialise();
#endif
    try {
        loadImage(QString::fromLatin1(resourcePath));
        secondColourIds = findSecondColourIds(getCurrentSource());
    } catch (const Helpers::Svg::SvgFileError&) {
        // Without the icon resources the logo stays blank rather than taking
        // the capture or the window down with it.
    }
    applySecondColour();
}

// Unchanged colours change nothing: the viewer's window recolours its logos
// while it paints, and every repaint of a logo repaints the window under it.
void KeldarLogo::setFirstColour(const QColor& colour)
{
    if (Helpers::sameColour(colour, firstColour))
        return;
    firstColour = colour;
    svgChanged();
}

void KeldarLogo::setSecondColour(const QColor& colour)
{
    secondColour = colour;
    applySecondColour();
}

void KeldarLogo::setColours(const QColor& first, const QColor& second)
{
    setFirstColour(first);
    setSecondColour(second);
}

QColor KeldarLogo::getFirstColour() const
{
    return getDefaultFillColour();
}

QColor KeldarLogo::getSecondColour() const
{
    return secondColour.isValid() ? secondColour : palette().color(QPalette::Highlight);
}

QColor KeldarLogo::getDefaultFillColour() const
{
    return firstColour.isValid() ? firstColour : palette().color(foregroundRole());
}

QColor KeldarLogo::getDefaultStrokeColour() const
{
    return getDefaultFillColour();
}

void KeldarLogo::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && !secondColour.isValid())
        applySecondColour();
    SvgLabel::changeEvent(event);
}

void KeldarLogo::applySecondColour()
{
    const QColor colour = getSecondColour();
    // The setters repaint only on a real change.
    for (const QString& id : secondColourIds) {
        setFillColour(colour, id);
        setStrokeColour(colour, id);
    }
}

} // namespace Keldar::GUI::Widgets::Displays
