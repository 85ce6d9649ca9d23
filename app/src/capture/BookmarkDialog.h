#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace Keldar::OndrixLumivane {

// Asks for a bookmark's title and comments. Save is offered only for a title
// that is more than white space.
class BookmarkDialog : public QDialog
{
    Q_OBJECT

public:
    BookmarkDialog(const QString& heading, QWidget* parent = nullptr);
    BookmarkDialog(const QString& heading, const std::string& title, const std::string& comments,
                   QWidget* parent = nullptr);

    std::string getTitle() const;
    std::string getComments() const;
    QPushButton* getSaveButton() const;

    // Runs a dialog and returns its result; tests answer it instead.
    using Runner = std::function<int(BookmarkDialog& dialog)>;
    static void setRunner(Runner runner);
    int run();

private:
    QLabel* heading;
    QLineEdit* title;
    QPlainTextEdit* comments;
    QPushButton* saveButton;
};

} // namespace Keldar::OndrixLumivane
