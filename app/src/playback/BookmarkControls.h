#pragma once

#include "controller/MetaTypes.h"
#include "controller/PlaybackMetaTypes.h"

#include <keldar/gui/BasicPopOutWidget.h>

#include <cstdint>
#include <string>
#include <vector>

class QPushButton;

namespace Keldar::GUI::Widgets::Buttons {
class SvgButton;
}

namespace Keldar::OndrixLumivane {

class BookmarkListItem;
class BookmarkListWidget;

// Pop-out of the playback toolbar: the open log's bookmarks, to jump to,
// add, edit and remove; announces a bookmark when playback passes it.
class BookmarkControls : public GUI::Widgets::Containers::BasicPopOutWidget
{
    Q_OBJECT

public:
    static constexpr int gap = 8;
    static constexpr const char* emptyText = "This log file has no bookmarks...";

    explicit BookmarkControls(GUI::Widgets::Bases::PopOutWidgetControl* button, QWidget* parent = nullptr);

    BookmarkListWidget* getList() const;
    QPushButton* getAddButton() const;
    GUI::Widgets::Buttons::SvgButton* getEditButton() const;
    GUI::Widgets::Buttons::SvgButton* getDeleteButton() const;

    void newBookmarkList(const std::vector<Logging::Playback::PlayerBookmark>& bookmarks);
    void framePlayed(int32_t frame, int32_t entryId, bool suppress);

Q_SIGNALS:
    void addingBookmark();
    void finishedAddingBookmark();
    void newBookmarkRequested(int32_t entryId, std::string title, std::string comments);
    // The bookmark chosen, as listed: an entry of an older file may hold more
    // than one, and only this one is meant.
    void updateBookmarkRequested(Keldar::Logging::Bookmark chosen, std::string title, std::string comments);
    void removeBookmarkRequested(Keldar::Logging::Bookmark chosen);
    void bookmarkPassed(std::string title, std::string comments);
    void jumpToBookmarkRequested(int32_t entryId);
    void bookmarkHovered(int32_t frame);
    void bookmarkSelected(int32_t frame);

private:
    BookmarkListItem* currentBookmark() const;
    BookmarkListItem* bookmarkOn(int32_t entryId) const;
    void edit(BookmarkListItem* item);
    void selectionChanged();

    BookmarkListWidget* list;
    QPushButton* addButton;
    QWidget* editDelete;
    GUI::Widgets::Buttons::SvgButton* editButton;
    GUI::Widgets::Buttons::SvgButton* deleteButton;
    std::vector<int32_t> frames;
    int32_t currentEntryId = 0;
};

} // namespace Keldar::OndrixLumivane
