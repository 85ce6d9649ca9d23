#pragma once

#include <QMessageBox>

#include <functional>

namespace Keldar::OndrixLumivane {

/// Every message box of the viewer is shown through here. The box is built in
/// full by the caller; the presenter runs it and returns the button chosen.
/// By default it is exec()'d; tests install a presenter that reads the box and
/// answers it without a nested event loop.
class MessageBoxes
{
public:
    using Presenter = std::function<int(QMessageBox& box)>;

    /// An empty presenter restores the default.
    static void setPresenter(Presenter presenter);

    /// Once the viewer is ending, no box is shown any more: show() returns
    /// QMessageBox::NoButton at once, which no caller takes for consent.
    static void setRefusing(bool refusing);

    static int show(QMessageBox& box);
    static int critical(QWidget* parent, const QString& title, const QString& text);
};

} // namespace Keldar::OndrixLumivane
