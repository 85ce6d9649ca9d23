#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

namespace Keldar::Icons::Testing {

// Every resource path the viewer and its libraries name for keldar-icons.
QStringList iconPaths();

// Every SVG registered under ":/keldar-icons/", found by walking the resources.
QStringList registeredSvgPaths();

QByteArray readResource(const QString& path);

// Recolours a document the way the toolkit's SVG handler does: the fill is
// written on every element that does not say fill="none", the stroke only where
// a stroke is drawn. Returns an empty array when the document is not XML.
QByteArray recolour(const QByteArray& svg, const QColor& fill, const QColor& stroke);

// Renders a document centred into a transparent square image of `size` pixels.
QImage render(const QByteArray& svg, int size);

// Tests render with QPainter and decode images, which wants a QGuiApplication.
void ensureGuiApplication();

// Counts the clearly visible pixels (alpha of at least a quarter) of an image and
// how many of them have `colour` (within a small tolerance per channel).
struct InkCount
{
    int visible = 0;
    int matching = 0;
};
InkCount countInk(const QImage& image, const QColor& colour);

} // namespace Keldar::Icons::Testing
