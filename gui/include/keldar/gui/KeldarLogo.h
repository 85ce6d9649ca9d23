#pragma once

#include <keldar/gui/SvgLabel.h>

namespace Keldar::GUI::Widgets::Displays {

// The maker's logo in two colours: the first paints the whole mark, the second
// the parts the artwork marks as second-colour elements.
class KeldarLogo : public SvgLabel
{
    Q_OBJECT

public:
    static constexpr const char* resourcePath = ":/keldar-icons/Logos/KeldarLogo.svg";

    explicit KeldarLogo(QWidget* parent = nullptr);

    // Invalid colours fall back to the palette's foreground and highlight.
    void setFirstColour(const QColor& colour);
    void setSecondColour(const QColor& colour);
    void setColours(const QColor& first, const QColor& second);
    QColor getFirstColour() const;
    QColor getSecondColour() const;

protected:
    QColor getDefaultFillColour() const override;
    QColor getDefaultStrokeColour() const override;
    void changeEvent(QEvent* event) override;

private:
    void applySecondColour();

    QColor firstColour;
    QColor secondColour;
    QStringList secondColourIds;
};

} // namespace Keldar::GUI::Widgets::Displays
