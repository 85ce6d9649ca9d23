#include <keldar/gui/Fade.h>

#include <QGraphicsOpacityEffect>
#include <QWidget>

namespace Keldar::GUI::Animations {

Fade::Fade(QWidget* target, qreal lowerOpacity, qreal upperOpacity, int durationMs,
           bool hideWhenFadedOut, QObject* parent)
    : QPropertyAnimation(parent != nullptr ? parent : target),
      target(target),
      effect(new QGraphicsOpacityEffect(target)),
      lower(lowerOpacity),
      upper(upperOpacity),
      hideWhenFadedOut(hideWhenFadedOut) {
    effect->setOpacity(upper);
    target->setGraphicsEffect(effect);
    setTargetObject(effect);
    setPropertyName("opacity");
    setDuration(durationMs);
}

void Fade::dropPendingEndings() {
    // Connections are one per run: a stopped run must not fire later.
    disconnect(fadeInEnding);
    disconnect(fadeOutEnding);
}

void Fade::fadeIn() {
    stop();
    if (qFuzzyIsNull(lower)) {
        target->show();
    }
    dropPendingEndings();
    fadeInEnding = connect(this, &QPropertyAnimation::finished, this, [this] {
        disconnect(fadeInEnding);
        emit fadeFinished();
    });
    setStartValue(lower);
    setEndValue(upper);
    start();
}

void Fade::fadeOut() {
    stop();
    dropPendingEndings();
    fadeOutEnding = connect(this, &QPropertyAnimation::finished, this, [this] {
        disconnect(fadeOutEnding);
        if (qFuzzyIsNull(lower) && hideWhenFadedOut) {
            target->hide();
            emit targetHidden();
        }
        emit fadeFinished();
    });
    setStartValue(upper);
    setEndValue(lower);
    start();
}

bool Fade::isFadedOut() const {
    return qFuzzyCompare(1.0 + effect->opacity(), 1.0 + lower);
}

void Fade::setLowerOpacity(qreal opacity) {
    lower = opacity;
}

void Fade::setUpperOpacity(qreal opacity) {
    upper = opacity;
}

qreal Fade::getLowerOpacity() const {
    return lower;
}

qreal Fade::getUpperOpacity() const {
    return upper;
}

QWidget* Fade::getTarget() const {
    return target;
}

}  // namespace Keldar::GUI::Animations
