#pragma once

#include <keldar/gui/SvgHandler.h>

#include <QColor>
#include <QRectF>
#include <QSizeF>

#include <memory>

class QFile;
class QPainter;

namespace Keldar::GUI::Widgets::Bases {

// Mix-in for widgets that draw one recolourable SVG document. Subclasses supply
// the default colours (usually from their palette) and repaint in svgChanged().
class SvgWidget
{
public:
    enum Alignment { Near = 0, Centre = 1, Far = 2 };

    SvgWidget();
    virtual ~SvgWidget();
    SvgWidget(const SvgWidget&) = delete;
    SvgWidget& operator=(const SvgWidget&) = delete;

    // Throws SvgFileError when the file cannot be opened.
    void loadImage(QFile& file);
    void loadImage(const QString& fileName);
    void loadImageData(const QByteArray& document);
    bool hasImage() const;

    void setFillColour(const QColor& colour, const QString& elementId = {});
    void setStrokeColour(const QColor& colour, const QString& elementId = {});
    void setOpacity(double value, const QString& elementId = {});
    void setFillOpacity(double value, const QString& elementId = {});
    void setStrokeOpacity(double value, const QString& elementId = {});

    void setHorizontalAlignment(int alignment);
    void setVerticalAlignment(int alignment);
    int getHorizontalAlignment() const;
    int getVerticalAlignment() const;

    // The document's natural size (its width and height, or its view box).
    QSizeF getSvgSize() const;
    // Where the document lands inside `rect`: scaled to fit keeping its aspect
    // ratio and placed by the alignments.
    QRectF getSvgRect(const QRectF& rect) const;
    void renderSvg(QPainter& painter, const QRectF& rect);
    // The document as it would be drawn now, with the widget's default colours.
    QByteArray getCurrentSource();

    // Copies the document, the overrides and the alignments to `other`.
    void applyTo(SvgWidget& other) const;

protected:
    virtual QColor getDefaultFillColour() const;
    virtual QColor getDefaultStrokeColour() const;
    virtual void svgChanged();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::GUI::Widgets::Bases
