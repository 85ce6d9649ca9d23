#include <keldar/gui/Toast.h>

#include <keldar/gui/Fade.h>
#include <keldar/gui/Scaling.h>
#include <keldar/gui/Slide.h>

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSvgRenderer>
#include <QToolButton>

#include <cmath>

namespace Keldar::GUI::Widgets::Notifications {

namespace {

QString affirmativeText(AffirmativeButton button, const QString& custom)
{
    switch (button) {
    case AffirmativeButton::Ok:
        return QStringLiteral("Ok");
    case AffirmativeButton::Yes:
        return QStringLiteral("Yes");
    case AffirmativeButton::Update:
        return QStringLiteral("Update");
    case AffirmativeButton::Custom:
        return custom;
    case AffirmativeButton::None:
        break;
    }
    return {};
}

// The close icon recoloured: the line icon's opaque pixels take the colour.
QIcon closeIcon(const QColor& colour, int size)
{
    const QString iconPath = QStringLiteral(":/keldar-icons/General/Close.svg");
    QSvgRenderer renderer;
    if (QFile::exists(iconPath)) {
        renderer.load(iconPath);
    }
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    if (renderer.isValid()) {
        renderer.render(&painter);
    } else {
        // Without the icon resources, draw the cross ourselves.
        painter.setPen(QPen(Qt::black, std::max(1.5, size / 12.0), Qt::SolidLine, Qt::RoundCap));
        const double inset = size * 0.25;
        painter.drawLine(QPointF(inset, inset), QPointF(size - inset, size - inset));
        painter.drawLine(QPointF(size - inset, inset), QPointF(inset, size - inset));
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), colour);
    painter.end();
    return QIcon(pixmap);
}

} // namespace

QString Toast::typeClass(ToastType type)
{
    switch (type) {
    case ToastType::Info:
        return QStringLiteral(" info");
    case ToastType::Success:
        return QStringLiteral(" success");
    case ToastType::Warning:
        return QStringLiteral(" warning");
    case ToastType::Error:
        return QStringLiteral(" error");
    case ToastType::Default:
        break;
    }
    return QStringLiteral(" default");
}

Toast::Toast(QWidget* parent, ToastType type, const QString& text, ToastLocation location, AffirmativeButton button,
             const QString& buttonText, bool dismissable, int minimumWidth, int maximumWidth)
    : QFrame(parent)
    , type(type)
    , location(location)
{
    QWidget::hide();
    setProperty("class", typeClass(type));
    setContentsMargins(5, 0, 3, 0);
    setMinimumWidth(minimumWidth);
    setMaximumWidth(maximumWidth);

    fade = new Animations::Fade(this, 0.0, 1.0, AnimationDurationMs, true, this);
    // Bottom toasts rise into place, top ones drop into place.
    slideIn =
        new Animations::Slide(this, isBottomLocation() ? Animations::Slide::FromBelow : Animations::Slide::FromAbove,
                              SlideDistance, AnimationDurationMs, this);
    move = new Animations::Slide(this, Animations::Slide::OutDown, 0, AnimationDurationMs, this);
    connect(fade, &Animations::Fade::targetHidden, this, &Toast::hidden);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(row->spacing() + 5);
    label = new QLabel(text, this);
    row->addWidget(label, 1);
    if (button == AffirmativeButton::None && !dismissable) {
        label->setAlignment(Qt::AlignCenter);
    }

    if (button != AffirmativeButton::None) {
        affirmativeButton = new QPushButton(affirmativeText(button, buttonText), this);
        affirmativeButton->setCursor(Qt::PointingHandCursor);
        row->addWidget(affirmativeButton);
        connect(affirmativeButton, &QPushButton::clicked, this, [this] {
            if (leaving) {
                return;
            }
            leaving = true;
            displayTimer.stop();
            fade->fadeOut();
            emit affirmative();
        });
    }

    if (dismissable) {
        row->addSpacing(5);
        auto* close = new QToolButton(this);
        close->setObjectName(QStringLiteral("toastCloseButton"));
        close->setCursor(Qt::PointingHandCursor);
        close->setAutoRaise(true);
        const int size = std::max(12, static_cast<int>(std::lround(Helpers::Widgets::getBaseSize(parent) / 2.F)));
        const QColor colour = type == ToastType::Warning ? QColor(51, 51, 51) : QColor(Qt::white);
        close->setIcon(closeIcon(colour, size * 2));
        close->setIconSize(QSize(size, size));
        close->setFixedSize(size + 4, size + 4);
        row->addWidget(close);
        closeButton = close;
        connect(close, &QToolButton::clicked, this, &Toast::dismiss);
    }

    displayTimer.setSingleShot(true);
    connect(&displayTimer, &QTimer::timeout, this, &Toast::dismiss);

    adjustSize();
    placeHorizontally();
    if (parentWidget() != nullptr) {
        const int y = isBottomLocation() ? parentWidget()->height() - height() - DefaultMargin : DefaultMargin;
        QWidget::move(x(), y);
    }
}

Toast::~Toast() = default;

bool Toast::isBottomLocation() const
{
    return location == ToastLocation::BottomCentre || location == ToastLocation::BottomRight ||
           location == ToastLocation::BottomLeft;
}

void Toast::show(int durationMs)
{
    leaving = false;
    settle();
    raise();
    fade->fadeIn();
    slideIn->slide();
    if (durationMs != 0) {
        displayTimer.start(durationMs);
    } else {
        displayTimer.stop();
    }
}

void Toast::hide()
{
    displayTimer.stop();
    fade->fadeOut();
}

void Toast::dismiss()
{
    if (leaving) {
        return;
    }
    leaving = true;
    displayTimer.stop();
    fade->fadeOut();
    emit dismissed();
}

void Toast::setText(const QString& text)
{
    label->setText(text);
    adjustSize();
    placeHorizontally();
}

QString Toast::getText() const
{
    return label->text();
}

void Toast::setTextAlignment(Qt::Alignment alignment)
{
    label->setAlignment(alignment);
}

void Toast::placeHorizontally()
{
    if (parentWidget() == nullptr) {
        return;
    }
    setXMargin(xMargin);
}

void Toast::setXMargin(int pixels)
{
    xMargin = pixels;
    if (parentWidget() == nullptr) {
        return;
    }
    const int parentWidth = parentWidget()->width();
    int x = (parentWidth - width()) / 2;
    if (location == ToastLocation::TopRight || location == ToastLocation::BottomRight) {
        x = parentWidth - pixels - width();
    } else if (location == ToastLocation::TopLeft || location == ToastLocation::BottomLeft) {
        x = pixels;
    }
    QWidget::move(x, pos().y());
}

void Toast::settle()
{
    // Toasts only ever slide vertically; the horizontal place may have changed
    // since the slide started (a resized window), so only y is taken over.
    for (Animations::Slide* slide : {slideIn, move}) {
        if (slide->state() == QAbstractAnimation::Running) {
            slide->stop();
            QWidget::move(pos().x(), slide->endValue().toPoint().y());
        }
    }
}

void Toast::setYMargin(int pixels, bool animated)
{
    yMargin = pixels;
    if (parentWidget() == nullptr) {
        return;
    }
    const int top = isBottomLocation() ? parentWidget()->height() - pixels - height() : pixels;
    settle();
    const int distance = top - pos().y();
    if (!animated || distance == 0) {
        QWidget::move(pos().x(), top);
        return;
    }
    move->setDirection(distance > 0 ? Animations::Slide::OutDown : Animations::Slide::OutUp);
    move->setDistance(std::abs(distance));
    move->slide();
}

int Toast::getYMargin() const
{
    return yMargin;
}

ToastType Toast::getType() const
{
    return type;
}

ToastLocation Toast::getLocation() const
{
    return location;
}

bool Toast::isDisplayTimerActive() const
{
    return displayTimer.isActive();
}

QLabel* Toast::getLabel() const
{
    return label;
}

QPushButton* Toast::getAffirmativeButton() const
{
    return affirmativeButton;
}

QAbstractButton* Toast::getCloseButton() const
{
    return closeButton;
}

} // namespace Keldar::GUI::Widgets::Notifications
