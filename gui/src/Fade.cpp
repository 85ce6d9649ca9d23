#include <keldar/gui/Fade.h>

#include <QGraphicsOpacityEffect>
#include <QOpenGLWidget>
#include <QWidget>

namespace Keldar::GUI::Animations {

Fade::Fade(QWidget* target, qreal lowerOpacity, qreal upperOpacity, int durationMs, bool hideWhenFadedOut,
           QObject* parent)
    : QPropertyAnimation(parent != nullptr ? parent : target)
    , target(target)
    , lower(lowerOpacity)
    , upper(upperOpacity)
    , opacity(upperOpacity)
    , hideWhenFadedOut(hideWhenFadedOut)
{
    checkForOpenGL();
    setTargetObject(this);
    setPropertyName("currentOpacity");
    setDuration(durationMs);
}

void Fade::checkForOpenGL()
{
    // Checked at every fade: a container may be given its OpenGL widget late.
    holdsOpenGL = qobject_cast<QOpenGLWidget*>(target) != nullptr || target->findChild<QOpenGLWidget*>() != nullptr;
    setCurrentOpacity(opacity);
}

qreal Fade::getCurrentOpacity() const
{
    return opacity;
}

void Fade::setCurrentOpacity(qreal value)
{
    opacity = value;
    const bool wanted = !holdsOpenGL && value < 1.0 && !qFuzzyCompare(value, 1.0);
    if (wanted) {
        if (effect == nullptr || target->graphicsEffect() != effect) {
            effect = new QGraphicsOpacityEffect(target);
            target->setGraphicsEffect(effect);
        }
        effect->setOpacity(value);
    } else if (effect != nullptr && target->graphicsEffect() == effect) {
        target->setGraphicsEffect(nullptr); // deletes it
    }
}

void Fade::dropPendingEndings()
{
    // Connections are one per run: a stopped run must not fire later.
    disconnect(fadeInEnding);
    disconnect(fadeOutEnding);
}

void Fade::fadeIn()
{
    stop();
    checkForOpenGL();
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

void Fade::fadeOut()
{
    stop();
    checkForOpenGL();
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

bool Fade::isFadedOut() const
{
    return qFuzzyCompare(1.0 + opacity, 1.0 + lower);
}

void Fade::setLowerOpacity(qreal opacity)
{
    lower = opacity;
}

void Fade::setUpperOpacity(qreal opacity)
{
    upper = opacity;
}

qreal Fade::getLowerOpacity() const
{
    return lower;
}

qreal Fade::getUpperOpacity() const
{
    return upper;
}

QWidget* Fade::getTarget() const
{
    return target;
}

} // namespace Keldar::GUI::Animations
