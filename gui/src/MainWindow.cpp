#include <keldar/gui/MainWindow.h>

#include <keldar/gui/ToastDisplayManager.h>

namespace Keldar::GUI::Widgets {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , toastManager(new Helpers::Widgets::ToastDisplayManager(this))
{
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::toastParent()
{
    return this;
}

MainWindow::Toast* MainWindow::newToast(ToastType type, const QString& text, int durationMs, AffirmativeButton button,
                                        const QString& buttonText, bool dismissable, int minimumWidth, int maximumWidth)
{
    auto* toast = new Toast(toastParent(), type, text, toastManager->getLocation(), button, buttonText, dismissable,
                            minimumWidth, maximumWidth);
    return toastManager->displayToast(toast, durationMs) ? toast : nullptr;
}

MainWindow::Toast* MainWindow::newToast(ToastType type, const QString& text, int durationMs, AffirmativeButton button,
                                        const QString& buttonText, bool dismissable)
{
    return newToast(type, text, durationMs, button, buttonText, dismissable, DefaultToastMinimumWidth,
                    DefaultToastMaximumWidth);
}

MainWindow::Toast* MainWindow::newToast(ToastType type, const std::string& text, int durationMs,
                                        AffirmativeButton button, const std::string& buttonText, bool dismissable)
{
    return newToast(type, QString::fromStdString(text), durationMs, button, QString::fromStdString(buttonText),
                    dismissable);
}

MainWindow::Toast* MainWindow::newToast(ToastType type, const std::wstring& text, int durationMs,
                                        AffirmativeButton button, const std::wstring& buttonText, bool dismissable)
{
    return newToast(type, QString::fromStdWString(text), durationMs, button, QString::fromStdWString(buttonText),
                    dismissable);
}

MainWindow::Toast* MainWindow::newToast(ToastType type, const char* text, int durationMs, AffirmativeButton button,
                                        const char* buttonText, bool dismissable)
{
    return newToast(type, QString::fromUtf8(text != nullptr ? text : ""), durationMs, button,
                    QString::fromUtf8(buttonText != nullptr ? buttonText : ""), dismissable);
}

void MainWindow::dismissAllToasts()
{
    toastManager->dismissAllToasts();
}

void MainWindow::setToastLocation(ToastLocation location, int initialOffset)
{
    toastManager->setLocation(location);
    toastManager->setInitialOffset(initialOffset);
}

Helpers::Widgets::ToastDisplayManager* MainWindow::getToastDisplayManager() const
{
    return toastManager;
}

} // namespace Keldar::GUI::Widgets
