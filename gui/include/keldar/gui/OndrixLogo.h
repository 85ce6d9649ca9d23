#pragma once

#include <keldar/gui/SvgLabel.h>

namespace Keldar::GUI::Widgets::Displays {

// The product logo, drawn in one colour.
class OndrixLogo : public SvgLabel
{
    Q_OBJECT

public:
    static constexpr const char* resourcePath = ":/keldar-icons/Logos/OndrixLogo.svg";

    explicit OndrixLogo(QWidget* parent = nullptr);

    // An invalid colour falls back to the palette's foreground.
    void setColour(const QColor& colour);
    QColor getColour() const;

protected:
    QColor getDefaultFillColour() const override;
    QColor getDefaultStrokeColour() const override;

private:
    QColor colour;
};

} // namespace Keldar::GUI::Widgets::Displays
