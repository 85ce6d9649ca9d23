#pragma once

#include <keldar/gui/Toast.h>

#include <QMainWindow>

#include <string>

namespace Keldar::GUI::Helpers::Widgets {
class ToastDisplayManager;
}

namespace Keldar::GUI::Widgets {

// Base of the viewer's main window: shows non-blocking messages as toasts
// stacked at one edge of the window.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    using Toast = Notifications::Toast;
    using ToastType = Notifications::ToastType;
    using ToastLocation = Notifications::ToastLocation;
    using AffirmativeButton = Notifications::AffirmativeButton;

    static constexpr int StandardToastDuration = 2500;
    static constexpr int DefaultToastMinimumWidth = 400;
    static constexpr int DefaultToastMaximumWidth = QWIDGETSIZE_MAX;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Each returns the toast shown (owned by the window), or null when it was
    // refused. A duration of 0 keeps the toast until it is dismissed.
    Toast* newToast(ToastType type, const QString& text, int durationMs = StandardToastDuration,
                    AffirmativeButton button = AffirmativeButton::None, const QString& buttonText = {},
                    bool dismissable = true);
    Toast* newToast(ToastType type, const QString& text, int durationMs, AffirmativeButton button,
                    const QString& buttonText, bool dismissable, int minimumWidth, int maximumWidth);
    Toast* newToast(ToastType type, const std::string& text, int durationMs = StandardToastDuration,
                    AffirmativeButton button = AffirmativeButton::None, const std::string& buttonText = {},
                    bool dismissable = true);
    Toast* newToast(ToastType type, const std::wstring& text, int durationMs = StandardToastDuration,
                    AffirmativeButton button = AffirmativeButton::None, const std::wstring& buttonText = {},
                    bool dismissable = true);
    Toast* newToast(ToastType type, const char* text, int durationMs = StandardToastDuration,
                    AffirmativeButton button = AffirmativeButton::None, const char* buttonText = "",
                    bool dismissable = true);

    void dismissAllToasts();
    void setToastLocation(ToastLocation location, int initialOffset);
    Helpers::Widgets::ToastDisplayManager* getToastDisplayManager() const;

protected:
    // Where new toasts are created; the manager refuses toasts that were
    // given any other parent.
    virtual QWidget* toastParent();

private:
    Helpers::Widgets::ToastDisplayManager* toastManager;
};

} // namespace Keldar::GUI::Widgets
