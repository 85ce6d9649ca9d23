#include "IconTestSupport.h"

#include <keldar/icons/Icons.h>

#include <QDirIterator>
#include <QDomDocument>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdlib>

namespace Keldar::Icons::Testing {

QStringList iconPaths()
{
    return {
        ":/keldar-icons/Capture/Record.svg",
        ":/keldar-icons/Capture/StillCapture.svg",
        ":/keldar-icons/Capture/StopRecording.svg",
        ":/keldar-icons/Device-Parameters/Frequency.svg",
        ":/keldar-icons/Device-Parameters/Gain.svg",
        ":/keldar-icons/Device-Parameters/Range.svg",
        ":/keldar-icons/Display-Controls/AdditionalDisplays.svg",
        ":/keldar-icons/Display-Controls/Filters.svg",
        ":/keldar-icons/Display-Controls/Palette.svg",
        ":/keldar-icons/General/Add.svg",
        ":/keldar-icons/General/Close.svg",
        ":/keldar-icons/General/CloseFile.svg",
        ":/keldar-icons/General/ConfigSpanner.svg",
        ":/keldar-icons/General/Delete.svg",
        ":/keldar-icons/General/Edit.svg",
        ":/keldar-icons/General/OpenFile.svg",
        ":/keldar-icons/General/SettingsCog.svg",
        ":/keldar-icons/General/Subtract.svg",
        ":/keldar-icons/Measurement/Measure.svg",
        ":/keldar-icons/Measurement/MeasureCircleCentre.svg",
        ":/keldar-icons/Measurement/MeasureLine.svg",
        ":/keldar-icons/Measurement/MeasureRectangle.svg",
        ":/keldar-icons/Ondrix/DisconnectFromSonar.svg",
        ":/keldar-icons/Ondrix/FanOrientationDown.svg",
        ":/keldar-icons/Ondrix/FanOrientationLeft.svg",
        ":/keldar-icons/Ondrix/FanOrientationRight.svg",
        ":/keldar-icons/Ondrix/FanOrientationUp.svg",
        ":/keldar-icons/Ondrix/FanRotation.svg",
        ":/keldar-icons/Ondrix/HorizontalFlip.svg",
        ":/keldar-icons/Ondrix/ListSonars.svg",
        ":/keldar-icons/Ondrix/Overlay.svg",
        ":/keldar-icons/Playback/AddBookmark.svg",
        ":/keldar-icons/Playback/Bookmark.svg",
        ":/keldar-icons/Playback/Export.svg",
        ":/keldar-icons/Playback/Loop.svg",
        ":/keldar-icons/Playback/Pause.svg",
        ":/keldar-icons/Playback/Play.svg",
        ":/keldar-icons/Playback/Scrub.svg",
        ":/keldar-icons/Playback/Speed.svg",
        ":/keldar-icons/Logos/KeldarLogo.svg",
        ":/keldar-icons/Logos/OndrixLogo.svg",
        ":/keldar-icons/Logos/LumivaneLogo.svg",
    };
}

QStringList registeredSvgPaths()
{
    QStringList paths;
    QDirIterator it(QStringLiteral(":/keldar-icons"), {QStringLiteral("*.svg")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    paths.sort();
    return paths;
}

QByteArray readResource(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

namespace {

void recolourElement(QDomElement element, const QString& fill, const QString& stroke)
{
    if (element.attribute(QStringLiteral("fill")) != QLatin1String("none"))
        element.setAttribute(QStringLiteral("fill"), fill);
    const QString drawn = element.attribute(QStringLiteral("stroke"));
    if (!drawn.isEmpty() && drawn != QLatin1String("none"))
        element.setAttribute(QStringLiteral("stroke"), stroke);
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        recolourElement(child, fill, stroke);
}

} // namespace

QByteArray recolour(const QByteArray& svg, const QColor& fill, const QColor& stroke)
{
    QDomDocument document;
    if (!document.setContent(svg))
        return {};
    recolourElement(document.documentElement(), fill.name(QColor::HexRgb), stroke.name(QColor::HexRgb));
    return document.toByteArray(-1);
}

QImage render(const QByteArray& svg, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return image;
    QSizeF natural = renderer.defaultSize();
    natural.scale(size, size, Qt::KeepAspectRatio);
    const QRectF target((size - natural.width()) / 2.0, (size - natural.height()) / 2.0, natural.width(),
                        natural.height());
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, target);
    return image;
}

void ensureGuiApplication()
{
    // The one call that makes the linker keep the icon library, as in the viewer.
    KD_Icons_initialise();
    if (QGuiApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "keldar-icons-test";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
}

InkCount countInk(const QImage& image, const QColor& colour)
{
    const QImage plain = image.convertToFormat(QImage::Format_ARGB32);
    const int tolerance = 24;
    InkCount count;
    for (int y = 0; y < plain.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(plain.constScanLine(y));
        for (int x = 0; x < plain.width(); ++x) {
            if (qAlpha(line[x]) < 64)
                continue;
            ++count.visible;
            if (std::abs(qRed(line[x]) - colour.red()) <= tolerance &&
                std::abs(qGreen(line[x]) - colour.green()) <= tolerance &&
                std::abs(qBlue(line[x]) - colour.blue()) <= tolerance)
                ++count.matching;
        }
    }
    return count;
}

} // namespace Keldar::Icons::Testing
