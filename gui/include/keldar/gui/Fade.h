#pragma once

#include <QMetaObject>
#include <QPointer>
#include <QPropertyAnimation>

class QGraphicsOpacityEffect;
class QWidget;

namespace Keldar::GUI::Animations {

// Animates a widget's opacity through an opacity effect it installs on the
// widget (replacing any other graphics effect there) while the opacity is
// below 1. At full opacity the effect is removed, as it renders the widget
// through an off-screen pixmap; and a widget holding an OpenGL widget never
// gets one, as the OpenGL widget would be drawn blank through it (that widget
// then just shows and hides at the ends of the fades). The opacity starts at
// the upper value.
class Fade : public QPropertyAnimation
{
    Q_OBJECT
    // What the animation drives; applied to the target as described above.
    Q_PROPERTY(qreal currentOpacity READ getCurrentOpacity WRITE setCurrentOpacity)

public:
    Fade(QWidget* target, qreal lowerOpacity, qreal upperOpacity, int durationMs, bool hideWhenFadedOut,
         QObject* parent = nullptr);

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

    qreal getCurrentOpacity() const;
    void setCurrentOpacity(qreal opacity);

signals:
    void fadeFinished();
    void targetHidden();

private:
    void dropPendingEndings();
    void checkForOpenGL();

    QWidget* target;
    QPointer<QGraphicsOpacityEffect> effect;
    qreal lower;
    qreal upper;
    qreal opacity;
    bool hideWhenFadedOut;
    bool holdsOpenGL = false;
    QMetaObject::Connection fadeInEnding;
    QMetaObject::Connection fadeOutEnding;
};

} // namespace Keldar::GUI::Animations
