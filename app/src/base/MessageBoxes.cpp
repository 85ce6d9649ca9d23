#include "base/MessageBoxes.h"

namespace Keldar::OndrixLumivane {

namespace {
MessageBoxes::Presenter& presenter()
{
    static MessageBoxes::Presenter current;
    return current;
}
} // namespace

void MessageBoxes::setPresenter(Presenter newPresenter)
{
    presenter() = std::move(newPresenter);
}

int MessageBoxes::show(QMessageBox& box)
{
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
