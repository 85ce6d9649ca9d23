#include "playback/BookmarkListWidget.h"

#include "playback/ScrubControl.h"

#include <QMouseEvent>

namespace Keldar::OndrixLumivane {

BookmarkListItem::BookmarkListItem(const std::string& title, const std::string& comments, int32_t entryId,
                                   int32_t frame)
    : QListWidgetItem(QString::fromStdString(title))
{
    setData(CommentsRole, QString::fromStdString(comments));
    setData(EntryIdRole, entryId);
    setData(FrameRole, frame);
}

int32_t BookmarkListItem::entryId() const
{
    return data(EntryIdRole).toInt();
}

int32_t BookmarkListItem::frame() const
{
    return data(FrameRole).toInt();
}

std::string BookmarkListItem::title() const
{
    return text().toStdString();
}

std::string BookmarkListItem::comments() const
{
    return data(CommentsRole).toString().toStdString();
}

bool BookmarkListItem::operator<(const QListWidgetItem& other) const
{
    return data(EntryIdRole).toInt() < other.data(EntryIdRole).toInt();
}

BookmarkListWidget::BookmarkListWidget(QWidget* parent)
    : QListWidget(parent)
{
    setMouseTracking(true);
}

void BookmarkListWidget::showTimes(const FrameTimes& times)
{
    for (int row = 0; row < count(); ++row) {
        // The "no bookmarks" line is a plain item.
        if (auto* bookmark = dynamic_cast<BookmarkListItem*>(item(row))) {
            bookmark->setToolTip(times.empty() ? QString()
                                               : ScrubControl::formatTime(times.millisecondsAt(bookmark->frame())));
        }
    }
}

void BookmarkListWidget::leaveEvent(QEvent* event)
{
    QListWidget::leaveEvent(event);
    Q_EMIT mouseLeft();
}

void BookmarkListWidget::mouseReleaseEvent(QMouseEvent* event)
{
    QListWidget::mouseReleaseEvent(event);
    if (itemAt(event->pos()) == nullptr && !selectedItems().isEmpty()) {
        clearSelection();
        setCurrentItem(nullptr);
    }
}

} // namespace Keldar::OndrixLumivane
