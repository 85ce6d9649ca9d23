#pragma once

#include <keldar/gui/ScalableWidget.h>
#include <keldar/gui/SvgWidget.h>

#include <QFrame>

namespace Keldar::GUI::Widgets::Displays {

// A label showing a recoloured SVG picture in the palette's foreground colour.
class SvgLabel : public QFrame, public Bases::SvgWidget, public Bases::ScalableWidget
{
    Q_OBJECT

public:
    explicit SvgLabel(QWidget* parent = nullptr);
    // Throws SvgFileError when the file cannot be opened.
    explicit SvgLabel(const QString& fileName, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    QColor getDefaultFillColour() const override;
    QColor getDefaultStrokeColour() const override;
    void svgChanged() override;
};

} // namespace Keldar::GUI::Widgets::Displays
