#pragma once

#include <keldar/gui/ScalableWidget.h>
#include <keldar/gui/SvgWidget.h>

#include <QPushButton>

namespace Keldar::GUI::Widgets::Buttons {

// A push button drawn as a recoloured SVG icon: the foreground colour normally,
// the accent foreground colour while pressed or checked. The accent colour is
// kept in the dynamic property "svg-button-accentForegroundColour". Stylesheets
// set it through the declared property: qproperty-accentForegroundColour (the
// toolkit only lets stylesheets write declared properties, and a declared
// property cannot carry hyphens).
class SvgButton : public QPushButton, public Bases::SvgWidget, public Bases::ScalableWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor accentForegroundColour READ getAccentForegroundColour WRITE setAccentForegroundColour)

public:
    explicit SvgButton(QWidget* parent = nullptr);
    // Throws SvgFileError when the file cannot be opened.
    explicit SvgButton(const QString& fileName, QWidget* parent = nullptr);

    void setAccentForegroundColour(const QColor& colour);
    // Falls back to the palette's highlighted-text colour while none is set.
    QColor getAccentForegroundColour() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    QColor getDefaultFillColour() const override;
    QColor getDefaultStrokeColour() const override;
    void svgChanged() override;
};

} // namespace Keldar::GUI::Widgets::Buttons
