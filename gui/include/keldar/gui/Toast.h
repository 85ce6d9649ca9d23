#pragma once

#include <QFrame>
#include <QString>
#include <QTimer>

class QLabel;
class QPushButton;
class QAbstractButton;

namespace Keldar::GUI::Animations {
class Fade;
class Slide;
} // namespace Keldar::GUI::Animations

namespace Keldar::GUI::Widgets::Notifications {

enum class ToastType : int { Default = 0, Info = 1, Success = 2, Warning = 3, Error = 4 };

enum class ToastLocation : int {
    TopCentre = 0,
    TopRight = 1,
    TopLeft = 2,
    BottomCentre = 3,
    BottomRight = 4,
    BottomLeft = 5,
};

enum class AffirmativeButton : int { None = 0, Ok = 1, Yes = 2, Update = 3, Custom = 4 };

// A small banner that slides and fades in at an edge of its parent and fades
// out after a time or when dismissed. Styled by the property "class", which
// holds the type's name with a leading blank (" info", " warning", ...).
class Toast : public QFrame
{
    Q_OBJECT

public:
    static constexpr int DefaultMargin = 8;
    static constexpr int AnimationDurationMs = 200;
    static constexpr int SlideDistance = 20;

    Toast(QWidget* parent, ToastType type, const QString& text, ToastLocation location,
          AffirmativeButton button = AffirmativeButton::None, const QString& buttonText = {}, bool dismissable = true,
          int minimumWidth = 400, int maximumWidth = QWIDGETSIZE_MAX);
    ~Toast() override;

    // Fades and slides in; a duration of 0 keeps the toast until dismissed.
    void show(int durationMs);
    // Fades out without emitting dismissed().
    void hide();
    // Fades out and emits dismissed() (once, however often it is called).
    void dismiss();

    void setText(const QString& text);
    QString getText() const;
    void setTextAlignment(Qt::Alignment alignment);

    // Distance from the left or right edge (for left or right locations).
    void setXMargin(int pixels);
    // Distance from the top edge, or from the bottom edge for bottom locations.
    void setYMargin(int pixels, bool animated);
    int getYMargin() const;

    ToastType getType() const;
    ToastLocation getLocation() const;
    bool isBottomLocation() const;
    bool isDisplayTimerActive() const;

    QLabel* getLabel() const;
    QPushButton* getAffirmativeButton() const;
    QAbstractButton* getCloseButton() const;

    static QString typeClass(ToastType type);

signals:
    void affirmative();
    void dismissed();
    // The fade-out has ended and the toast is hidden.
    void hidden();

private:
    void placeHorizontally();
    // Puts the toast where running slides would have left it.
    void settle();

    ToastType type;
    ToastLocation location;
    QLabel* label = nullptr;
    QPushButton* affirmativeButton = nullptr;
    QAbstractButton* closeButton = nullptr;
    Animations::Fade* fade = nullptr;
    Animations::Slide* slideIn = nullptr;
    Animations::Slide* move = nullptr;
    QTimer displayTimer;
    int xMargin = DefaultMargin;
    int yMargin = DefaultMargin;
    bool leaving = false;
};

} // namespace Keldar::GUI::Widgets::Notifications
