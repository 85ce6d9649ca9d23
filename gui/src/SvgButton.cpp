#include <keldar/gui/SvgButton.h>

#include "SameColour.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QVariant>

namespace Keldar::GUI::Widgets::Buttons {

namespace {
constexpr const char* accentProperty = "svg-button-accentForegroundColour";
}

SvgButton::SvgButton(QWidget* parent)
    : QPushButton(parent)
    , ScalableWidget(this)
{
    // Seeded with a colour so that a stylesheet value is parsed as one.
    setProperty(accentProperty, QColor());
}

SvgButton::SvgButton(const QString& fileName, QWidget* parent)
    : SvgButton(parent)
{
    loadImage(fileName);
}

void SvgButton::setAccentForegroundColour(const QColor& colour)
{
    if (Helpers::sameColour(property(accentProperty).value<QColor>(), colour))
        return;
    setProperty(accentProperty, colour);
    update();
}

QColor SvgButton::getAccentForegroundColour() const
{
    const QColor colour = property(accentProperty).value<QColor>();
    return colour.isValid() ? colour : palette().color(QPalette::HighlightedText);
}

QSize SvgButton::sizeHint() const
{
    const QSizeF natural = getSvgSize();
    if (natural.isEmpty())
        return QPushButton::sizeHint();
    return natural.toSize().expandedTo(QSize(16, 16));
}

QSize SvgButton::minimumSizeHint() const
{
    return {8, 8};
}

void SvgButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The bevel carries the stylesheet's background, border and checked look.
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
    renderSvg(painter, contentsRect());
}

QColor SvgButton::getDefaultFillColour() const
{
    if (isDown() || isChecked())
        return getAccentForegroundColour();
    return palette().color(foregroundRole());
}

QColor SvgButton::getDefaultStrokeColour() const
{
    return getDefaultFillColour();
}

void SvgButton::svgChanged()
{
    updateGeometry();
    update();
}

} // namespace Keldar::GUI::Widgets::Buttons
