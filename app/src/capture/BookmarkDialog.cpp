#include "capture/BookmarkDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVariant>

namespace Keldar::OndrixLumivane {

namespace {
BookmarkDialog::Runner& runnerSlot()
{
    static BookmarkDialog::Runner runner;
    return runner;
}
} // namespace

BookmarkDialog::BookmarkDialog(const QString& headingText, QWidget* parent)
    : QDialog(parent)
    , heading(new QLabel(headingText, this))
    , title(new QLineEdit(this))
    , comments(new QPlainTextEdit(this))
    , saveButton(nullptr)
{
    setObjectName(QStringLiteral("bookmarkDialog"));
    setProperty("class", QStringLiteral("inverted"));
    setWindowTitle(headingText);
    setMinimumWidth(360);
    heading->setObjectName(QStringLiteral("dialogTitle"));
    heading->setProperty("class", QStringLiteral("sectionHeading"));
    title->setObjectName(QStringLiteral("title"));
    comments->setObjectName(QStringLiteral("comments"));
    comments->setTabChangesFocus(true);
    comments->setMinimumHeight(90);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    saveButton = buttons->button(QDialogButtonBox::Save);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(6);
    layout->addWidget(heading);
    layout->addSpacing(6);
    layout->addWidget(new QLabel(QStringLiteral("Title:"), this));
    layout->addWidget(title);
    layout->addWidget(new QLabel(QStringLiteral("Comments:"), this));
    layout->addWidget(comments, 1);
    layout->addSpacing(6);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto update = [this] { saveButton->setEnabled(!title->text().trimmed().isEmpty()); };
    connect(title, &QLineEdit::textChanged, this, update);
    update();
    title->setFocus();
}

BookmarkDialog::BookmarkDialog(const QString& headingText, const std::string& titleText,
                               const std::string& commentsText, QWidget* parent)
    : BookmarkDialog(headingText, parent)
{
    title->setText(QString::fromStdString(titleText));
    comments->setPlainText(QString::fromStdString(commentsText));
}

std::string BookmarkDialog::getTitle() const
{
    return title->text().toStdString();
}

std::string BookmarkDialog::getComments() const
{
    return comments->toPlainText().toStdString();
}

QPushButton* BookmarkDialog::getSaveButton() const
{
    return saveButton;
}

void BookmarkDialog::setRunner(Runner runner)
{
    runnerSlot() = std::move(runner);
}

int BookmarkDialog::run()
{
    return runnerSlot() ? runnerSlot()(*this) : exec();
}

} // namespace Keldar::OndrixLumivane
