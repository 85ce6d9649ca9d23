#pragma once

#include "playback/FrameTimes.h"

#include <QListWidget>
#include <QListWidgetItem>

#include <cstdint>
#include <string>

namespace Keldar::OndrixLumivane {

// One bookmark of the panel: its title as text, with its comments, entry id
// and frame in the first three user roles. Items order by entry id.
class BookmarkListItem : public QListWidgetItem
{
public:
    static constexpr int CommentsRole = Qt::UserRole;
    static constexpr int EntryIdRole = Qt::UserRole + 1;
    static constexpr int FrameRole = Qt::UserRole + 2;

    BookmarkListItem(const std::string& title, const std::string& comments, int32_t entryId, int32_t frame);

    int32_t entryId() const;
    int32_t frame() const;
    std::string title() const;
    std::string comments() const;

    bool operator<(const QListWidgetItem& other) const override;
};

// The list of the bookmark panel: tells when the mouse leaves it, and a click
// on empty space clears the selection.
class BookmarkListWidget : public QListWidget
{
    Q_OBJECT

public:
    explicit BookmarkListWidget(QWidget* parent = nullptr);

    // Each bookmark's tool tip tells where it lies in the log, "hh:mm:ss".
    void showTimes(const FrameTimes& times);

Q_SIGNALS:
    void mouseLeft();

protected:
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace Keldar::OndrixLumivane
