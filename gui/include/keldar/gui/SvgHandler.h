#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

#include <memory>

class QFile;

namespace Keldar::GUI::Helpers::Svg {

// Keeps an SVG document as read and rewrites its paint attributes on demand so
// that one icon file can follow the theme and the state of the widget showing it.
// Overrides are keyed by element id; the empty id addresses the whole document.
class SvgHandler
{
public:
    SvgHandler();
    // Reads the whole file; throws SvgFileError when it cannot be opened.
    explicit SvgHandler(QFile& file);
    explicit SvgHandler(const QString& fileName);
    static SvgHandler fromData(const QByteArray& document);

    SvgHandler(const SvgHandler& other);
    SvgHandler& operator=(const SvgHandler& other);
    SvgHandler(SvgHandler&& other) noexcept;
    SvgHandler& operator=(SvgHandler&& other) noexcept;
    ~SvgHandler();

    // An invalid colour removes the override for that attribute.
    void setFillColour(const QColor& colour, const QString& elementId = {});
    void setStrokeColour(const QColor& colour, const QString& elementId = {});
    // Values are clamped to 0..1; a negative value removes the override.
    void setOpacity(double value, const QString& elementId = {});
    void setFillOpacity(double value, const QString& elementId = {});
    void setStrokeOpacity(double value, const QString& elementId = {});

    double getOpacity(const QString& elementId = {}) const;
    double getFillOpacity(const QString& elementId = {}) const;
    double getStrokeOpacity(const QString& elementId = {}) const;
    QColor getFillColour(const QString& elementId = {}) const;
    QColor getStrokeColour(const QString& elementId = {}) const;

    // The rewritten document. The defaults paint the whole document first
    // (invalid colours leave it as drawn), then the overrides are applied.
    // The last result is reused while nothing has changed.
    QByteArray getSource(const QColor& defaultFill, const QColor& defaultStroke);
    // True while a setter has changed an override that getSource has not applied yet.
    bool sourceChanged() const;
    QByteArray getOriginalSource() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Keldar::GUI::Helpers::Svg
