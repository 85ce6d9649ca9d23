#include "base/MessageBoxes.h"

namespace Keldar::OndrixLumivane {

namespace {
MessageBoxes::Presenter& presenter()
{
    static MessageBoxes::Presenter current;
    return current;
}
bool& refusing()
{
    static bool refuse = false;
    return refuse;
}
} // namespace

void MessageBoxes::setRefusing(bool refuse)
{
    refusing() = refuse;
}

void MessageBoxes::setPresenter(Presenter newPresenter)
{
    presenter() = std::move(newPresenter);
}

int MessageBoxes::show(QMessageBox& box)
{
    if (refusing()) {
        return QMessageBox::NoButton;
    }
    if (presenter()) {
        return presenter()(box);
    }
    return box.exec();
}

int MessageBoxes::critical(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    return show(box);
}

} // namespace Keldar::OndrixLumivane
