#pragma once

#include "base/ToolbarBase.h"

#include <keldar/logging/Bookmark.h>

#include <cstdint>
#include <optional>
#include <string>

class QFrame;
class QShortcut;

namespace Keldar::GUI::Widgets::Buttons {
class SvgButton;
}

namespace Keldar::OndrixLumivane {

// Bottom of the sidebar: record a live sonar into a log file, bookmark the
// recording, and capture still pictures of the display.
class CaptureToolbar : public ToolbarBase
{
    Q_OBJECT

public:
    using SvgButton = GUI::Widgets::Buttons::SvgButton;
    enum Mode : int { Live = 0, Playback = 1 };
    static constexpr const char* settingsGroup = "CaptureToolbar";

    explicit CaptureToolbar(QWidget* parent = nullptr);

    void setMode(int mode);
    // Opens the bookmark dialog for a bookmark at `entryId` (the answer to
    // currentEntryIdRequested); `existing` is the one already there, offered
    // for editing.
    void requestBookmark(int32_t entryId, const std::optional<Logging::Bookmark>& existing = std::nullopt);

    SvgButton* getRecordButton() const;
    SvgButton* getStopButton() const;
    SvgButton* getBookmarkButton() const;
    SvgButton* getCaptureButton() const;

Q_SIGNALS:
    void startLogging();
    void stopLogging();
    void stillCapture();
    // The capture button's menu: the image on screen as a GeoTIFF.
    void geoTiffCapture();
    void currentEntryIdRequested();
    void newBookmarkRequested(int32_t entryId, std::string title, std::string comments);

public Q_SLOTS:
    void loggingStarted();
    // Back to the record button, whatever ended the recording.
    void loggingStopped();
    void loadShortcuts();

    void restoreState(int mode) override;
    void saveState() override;
    void resetControls() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    SvgButton* recordButton;
    SvgButton* stopButton;
    SvgButton* bookmarkButton;
    SvgButton* captureButton;
    QFrame* divider;
    QShortcut* startStopShortcut;
    QShortcut* stillCaptureShortcut;
    int mode = Live;
};

} // namespace Keldar::OndrixLumivane
