#pragma once

#include <QMetaObject>
#include <QPropertyAnimation>

class QGraphicsOpacityEffect;
class QWidget;

namespace Keldar::GUI::Animations {

// Animates a widget's opacity through an opacity effect it installs on the
// widget (replacing any other graphics effect there). The effect starts at
// the upper opacity.
class Fade : public QPropertyAnimation {
    Q_OBJECT

public:
    Fade(QWidget* target, qreal lowerOpacity, qreal upperOpacity, int durationMs,
         bool hideWhenFadedOut, QObject* parent = nullptr);

    // Shows the target first when the lower opacity is 0. Cancels the ending
    // of an interrupted fade-out, so the target is not hidden by it.
    void fadeIn();
    // At the end, with a lower opacity of 0 and hiding enabled, hides the
    // target and emits targetHidden(); fadeFinished() follows in every case.
    void fadeOut();
    bool isFadedOut() const;

    void setLowerOpacity(qreal opacity);
    void setUpperOpacity(qreal opacity);
    qreal getLowerOpacity() const;
    qreal getUpperOpacity() const;
    QWidget* getTarget() const;

signals:
    void fadeFinished();
    void targetHidden();

private:
    void dropPendingEndings();

    QWidget* target;
    QGraphicsOpacityEffect* effect;
    qreal lower;
    qreal upper;
    bool hideWhenFadedOut;
    QMetaObject::Connection fadeInEnding;
    QMetaObject::Connection fadeOutEnding;
};

}  // namespace Keldar::GUI::Animations
