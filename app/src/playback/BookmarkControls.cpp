#include "playback/BookmarkControls.h"

#include "base/MessageBoxes.h"
#include "capture/BookmarkDialog.h"
#include "playback/BookmarkListWidget.h"

#include <keldar/gui/FloatingWidgetHandle.h>
#include <keldar/gui/SvgButton.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QVariant>

#include <algorithm>

namespace Keldar::OndrixLumivane {

using GUI::Widgets::Buttons::SvgButton;

namespace {

SvgButton* makeButton(const QString& name, const QString& icon, const QString& toolTip, QWidget* parent)
{
    auto* button = new SvgButton(icon, parent);
    button->setObjectName(name);
    button->setToolTip(toolTip);
    button->setFixedSize(24, 24);
    return button;
}

} // namespace

BookmarkControls::BookmarkControls(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent)
    : BasicPopOutWidget(button, RightOfControl, gap, parent)
    , list(new BookmarkListWidget(this))
    , addButton(makeButton(QStringLiteral("addButton"), QStringLiteral(":/keldar-icons/General/Add.svg"),
                           QStringLiteral("Add a bookmark at the frame shown"), this))
    , editDelete(new QWidget(this))
    , editButton(makeButton(QStringLiteral("editButton"), QStringLiteral(":/keldar-icons/General/Edit.svg"),
                            QStringLiteral("Edit the selected bookmark"), editDelete))
    , deleteButton(makeButton(QStringLiteral("deleteButton"), QStringLiteral(":/keldar-icons/General/Delete.svg"),
                              QStringLiteral("Delete the selected bookmark"), editDelete))
{
    setObjectName(QStringLiteral("bookmarkControls"));
    setProperty("class", QStringLiteral("inverted"));
    list->setObjectName(QStringLiteral("bookmarks"));
    list->setMinimumSize(260, 160);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    editDelete->setObjectName(QStringLiteral("editDelete"));
    editDelete->setEnabled(false);

    auto* heading = new QLabel(QStringLiteral("Bookmarks"), this);
    heading->setObjectName(QStringLiteral("heading"));
    heading->setProperty("class", QStringLiteral("sectionHeading"));
    auto* handle = new GUI::Widgets::AddOns::FloatingWidgetHandle(this);
    handle->setObjectName(QStringLiteral("handle"));
    handle->setFixedWidth(8);

    auto* editDeleteLayout = new QHBoxLayout(editDelete);
    editDeleteLayout->setContentsMargins(0, 0, 0, 0);
    editDeleteLayout->setSpacing(6);
    editDeleteLayout->addWidget(editButton);
    editDeleteLayout->addWidget(deleteButton);
    auto* buttons = new QHBoxLayout();
    buttons->setSpacing(6);
    buttons->addWidget(addButton);
    buttons->addStretch(1);
    buttons->addWidget(editDelete);
    auto* column = new QVBoxLayout();
    column->setSpacing(6);
    column->addWidget(heading);
    column->addWidget(list, 1);
    column->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addLayout(column, 1);
    layout->addWidget(handle);
    setDragHandle(handle);

    connect(addButton, &QAbstractButton::clicked, this, [this] {
        // The frame on screen now: frames already on their way arrive while
        // the dialog is open.
        const int32_t entryId = currentEntryId;
        Q_EMIT addingBookmark();
        // One bookmark per frame: the one there is offered for editing.
        if (BookmarkListItem* existing = bookmarkOn(entryId)) {
            edit(existing);
        } else {
            BookmarkDialog dialog(QStringLiteral("New Bookmark"), window());
            if (dialog.run() == QDialog::Accepted) {
                Q_EMIT newBookmarkRequested(entryId, dialog.getTitle(), dialog.getComments());
            }
        }
        Q_EMIT finishedAddingBookmark();
    });
    connect(editButton, &QAbstractButton::clicked, this, [this] {
        if (BookmarkListItem* item = currentBookmark()) {
            edit(item);
        }
    });
    connect(deleteButton, &QAbstractButton::clicked, this, [this] {
        BookmarkListItem* item = currentBookmark();
        if (item == nullptr) {
            return;
        }
        QMessageBox box(QMessageBox::Question, QStringLiteral("Delete Bookmark"),
                        QStringLiteral("Delete the bookmark \"%1\"? This cannot be undone.")
                            .arg(QString::fromStdString(item->title())),
                        QMessageBox::Yes | QMessageBox::No, window());
        box.setDefaultButton(QMessageBox::No);
        box.setProperty("class", QStringLiteral("inverted"));
        // The list may change while the question is open.
        const Logging::Bookmark chosen{item->entryId(), item->title(), item->comments(), {}};
        if (MessageBoxes::show(box) == QMessageBox::Yes) {
            Q_EMIT removeBookmarkRequested(chosen);
        }
    });
    connect(list, &QListWidget::itemSelectionChanged, this, &BookmarkControls::selectionChanged);
    connect(list, &QListWidget::itemEntered, this, [this](QListWidgetItem* item) {
        if (auto* bookmark = dynamic_cast<BookmarkListItem*>(item);
            bookmark != nullptr && item->flags() & Qt::ItemIsEnabled) {
            Q_EMIT bookmarkHovered(bookmark->frame());
        }
    });
    connect(list, &BookmarkListWidget::mouseLeft, this, [this] { Q_EMIT bookmarkHovered(-1); });
    newBookmarkList({});
}

BookmarkListWidget* BookmarkControls::getList() const
{
    return list;
}

QPushButton* BookmarkControls::getAddButton() const
{
    return addButton;
}

SvgButton* BookmarkControls::getEditButton() const
{
    return editButton;
}

SvgButton* BookmarkControls::getDeleteButton() const
{
    return deleteButton;
}

void BookmarkControls::newBookmarkList(const std::vector<Logging::Playback::PlayerBookmark>& bookmarks)
{
    list->clear();
    frames.clear();
    if (bookmarks.empty()) {
        auto* empty = new QListWidgetItem(QString::fromLatin1(emptyText));
        empty->setFlags(Qt::NoItemFlags);
        list->addItem(empty);
        return;
    }
    for (const auto& bookmark : bookmarks) {
        list->addItem(new BookmarkListItem(bookmark.title, bookmark.comments, bookmark.entryId, bookmark.frameIndex));
        frames.push_back(bookmark.frameIndex);
    }
    list->sortItems();
    std::sort(frames.begin(), frames.end());
}

void BookmarkControls::framePlayed(int32_t frame, int32_t entryId, bool suppress)
{
    currentEntryId = entryId;
    if (suppress || frames.empty() || frame < frames.front() || frame > frames.back() ||
        !std::binary_search(frames.begin(), frames.end(), frame)) {
        return;
    }
    for (int row = 0; row < list->count(); ++row) {
        auto* item = dynamic_cast<BookmarkListItem*>(list->item(row));
        if (item != nullptr && item->entryId() == entryId) {
            Q_EMIT bookmarkPassed(item->title(), item->comments());
            return;
        }
    }
}

BookmarkListItem* BookmarkControls::bookmarkOn(int32_t entryId) const
{
    for (int row = 0; row < list->count(); ++row) {
        auto* item = dynamic_cast<BookmarkListItem*>(list->item(row));
        if (item != nullptr && item->entryId() == entryId) {
            return item;
        }
    }
    return nullptr;
}

void BookmarkControls::edit(BookmarkListItem* item)
{
    const Logging::Bookmark chosen{item->entryId(), item->title(), item->comments(), {}};
    BookmarkDialog dialog(QStringLiteral("Edit Bookmark"), chosen.title, chosen.comments, window());
    if (dialog.run() == QDialog::Accepted) {
        Q_EMIT updateBookmarkRequested(chosen, dialog.getTitle(), dialog.getComments());
    }
}

BookmarkListItem* BookmarkControls::currentBookmark() const
{
    const auto selected = list->selectedItems();
    return selected.isEmpty() ? nullptr : dynamic_cast<BookmarkListItem*>(selected.front());
}

void BookmarkControls::selectionChanged()
{
    BookmarkListItem* item = currentBookmark();
    if (item == nullptr) {
        editDelete->setEnabled(false);
        Q_EMIT bookmarkSelected(-1);
        return;
    }
    editDelete->setEnabled(true);
    Q_EMIT bookmarkSelected(item->frame());
    Q_EMIT jumpToBookmarkRequested(item->entryId());
}

} // namespace Keldar::OndrixLumivane
