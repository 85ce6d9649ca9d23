#include <keldar/gui/CaptureTools.h>

#include <keldar/gui/KeldarLogo.h>
#include <keldar/gui/OndrixLogo.h>

#include <QCoreApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace Keldar::GUI::Tools {

using Widgets::Displays::KeldarLogo;
using Widgets::Displays::OndrixLogo;
using Widgets::Displays::SvgLabel;

namespace {

// One widget of each kind, made on first use and kept. They are destroyed
// with the application object: a widget outliving it would crash at exit.
KeldarLogo* keldarLogo = nullptr;
OndrixLogo* ondrixLogo = nullptr;

void destroyLogos()
{
    delete keldarLogo;
    keldarLogo = nullptr;
    delete ondrixLogo;
    ondrixLogo = nullptr;
}

template<typename Logo>
Logo* logoWidget(Logo*& slot)
{
    if (!slot) {
        if (!keldarLogo && !ondrixLogo)
            qAddPostRoutine(destroyLogos);
        slot = new Logo();
        slot->setAttribute(Qt::WA_TranslucentBackground);
        slot->setAttribute(Qt::WA_DontShowOnScreen);
        slot->setStyleSheet(QStringLiteral("background: transparent;"));
        slot->setContentsMargins(0, 0, 0, 0);
    }
    return slot;
}

// Size, margin and place are pixels of the capture. An image or pixmap reports
// its size in pixels, but a painter on one with a device pixel ratio draws in
// logical units; the logo is therefore rendered at its pixel size and handed
// to the painter with the device's ratio, at the logical place.
void stamp(QPaintDevice& device, SvgLabel& logo, int corner, int size)
{
    const QRect target =
        CaptureTools::getLogoRect(QSize(device.width(), device.height()), logo.getSvgSize(), corner, size);
    if (target.isEmpty())
        return;
    logo.resize(target.size());
    QPixmap picture(target.size());
    picture.fill(Qt::transparent);
    logo.render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    const qreal ratio = device.devicePixelRatioF();
    picture.setDevicePixelRatio(ratio);
    QPainter painter(&device);
    painter.drawPixmap(QPointF(target.topLeft()) / ratio, picture);
}

} // namespace

void CaptureTools::addKeldarLogo(QPaintDevice& device, const QColor& firstColour, const QColor& secondColour,
                                 int corner, int size)
{
    KeldarLogo* logo = logoWidget(keldarLogo);
    logo->setColours(firstColour, secondColour);
    stamp(device, *logo, corner, size);
}

void CaptureTools::addOndrixLogo(QPaintDevice& device, const QColor& colour, int corner, int size)
{
    OndrixLogo* logo = logoWidget(ondrixLogo);
    logo->setColour(colour);
    stamp(device, *logo, corner, size);
}

QRect CaptureTools::getLogoRect(const QSize& deviceSize, const QSizeF& naturalSize, int corner, int size)
{
    if (naturalSize.isEmpty() || size <= 0)
        return {};
    // Fitted inside the square: covering it made a wide logo four times as
    // wide as asked.
    const QSizeF fitted = naturalSize.scaled(QSizeF(size, size), Qt::KeepAspectRatio);
    const QSize logo(std::clamp(qRound(fitted.width()), 1, size), std::clamp(qRound(fitted.height()), 1, size));
    QPoint position;
    switch (corner) {
    case TopLeft:
        position = {margin, margin};
        break;
    case TopRight:
        position = {deviceSize.width() - logo.width() - margin, margin};
        break;
    case BottomLeft:
        position = {margin, deviceSize.height() - logo.height() - margin};
        break;
    case BottomRight:
        position = {deviceSize.width() - logo.width() - margin, deviceSize.height() - logo.height() - margin};
        break;
    default:
        position = {0, 0};
    }
    return {position, logo};
}

} // namespace Keldar::GUI::Tools
