#include "capture/RecordingTimeDisplay.h"

#include <keldar/gui/BasicPopOutWidget.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QMovie>
#include <QTimer>
#include <QVariant>

namespace Keldar::OndrixLumivane {

namespace {
const QString timeFormat = QStringLiteral("hh:mm:ss");
} // namespace

RecordingTimeDisplay::RecordingTimeDisplay(QWidget* parent)
    : DraggableWidget(parent)
    , frame(new QWidget(this))
    , animation(new QLabel(frame))
    , time(new QLabel(frame))
    , movie(new QMovie(QStringLiteral(":/gifs/recording.gif"), QByteArray(), this))
    , timer(new QTimer(this))
    , elapsed(0, 0, 0)
{
    setObjectName(QStringLiteral("recordingTimeDisplay"));
    frame->setObjectName(QStringLiteral("simpleDisplayWidget"));
    frame->setProperty("class", QStringLiteral("simpleDisplayWidget"));
    frame->setAttribute(Qt::WA_StyledBackground);
    animation->setObjectName(QStringLiteral("recording"));
    animation->setMovie(movie);
    animation->setFixedSize(24, 24);
    time->setObjectName(QStringLiteral("recordingTime"));
    time->setText(elapsed.toString(timeFormat));

    auto* inner = new QHBoxLayout(frame);
    inner->setContentsMargins(8, 6, 10, 6);
    inner->setSpacing(6);
    inner->addWidget(animation);
    inner->addWidget(time);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    timer->setInterval(1000);
    connect(timer, &QTimer::timeout, this, &RecordingTimeDisplay::tick);
    adjustSize();
    hide();
}

void RecordingTimeDisplay::start()
{
    elapsed = QTime(0, 0, 0);
    time->setText(elapsed.toString(timeFormat));
    timer->start();
    movie->start();
    adjustSize();
    show();
    raise();
    // Above the picture and its displays, never over an open panel.
    for (auto* panel : parentWidget() != nullptr
                           ? parentWidget()->findChildren<GUI::Widgets::Containers::BasicPopOutWidget*>(
                                 QString(), Qt::FindDirectChildrenOnly)
                           : QList<GUI::Widgets::Containers::BasicPopOutWidget*>()) {
        panel->raise();
    }
}

void RecordingTimeDisplay::stop()
{
    hide();
    timer->stop();
    movie->stop();
    elapsed = QTime(0, 0, 0);
    time->setText(elapsed.toString(timeFormat));
}

QString RecordingTimeDisplay::getTimeText() const
{
    return time->text();
}

void RecordingTimeDisplay::placeAtBottomRight()
{
    if (parentWidget() != nullptr) {
        adjustSize();
        moveClear(QPoint(parentWidget()->width() - width() - edgeGap, parentWidget()->height() - height() - edgeGap));
    }
}

void RecordingTimeDisplay::placeAtBottomCentre()
{
    if (parentWidget() != nullptr) {
        moveClear(QPoint((parentWidget()->width() - width()) / 2, parentWidget()->height() - height() - edgeGap));
    }
}

void RecordingTimeDisplay::moveClear(QPoint place)
{
    // Above any overlay display shown there (a depth, a log time), so that
    // the clock never hides what the user chose to see; on a screen too
    // short for that it keeps the lowest place.
    const QPoint lowest = place;
    bool moved = true;
    while (moved && place.y() >= 0) {
        moved = false;
        for (const QObject* child : parentWidget()->children()) {
            const auto* sibling = qobject_cast<const QWidget*>(child);
            if (sibling == nullptr || sibling == this || !sibling->isVisible() ||
                sibling->property("class").toString() != QStringLiteral("simpleDisplayWidget")) {
                continue;
            }
            if (sibling->geometry().intersects(QRect(place, size()))) {
                place.setY(sibling->y() - height() - edgeGap);
                moved = true;
            }
        }
    }
    move(place.y() >= 0 ? place : lowest);
}

void RecordingTimeDisplay::tick()
{
    elapsed = elapsed.addSecs(1);
    time->setText(elapsed.toString(timeFormat));
    if (time->width() < time->sizeHint().width()) {
        placeAtBottomRight();
    }
}

} // namespace Keldar::OndrixLumivane
