#pragma once

#include "export/VideoExport.h"
#include "playback/ExportSpan.h"

#include <keldar/ondrix/OndrixImage.h>
#include <keldar/visualisation/FanDisplayOptions.h>

#include <QDialog>

#include <string>

class QAction;
class QLabel;
class QTimeEdit;
class QToolButton;

namespace Keldar::GUI::Widgets::Controls {
class RangeSlider;
}
namespace Keldar::Ondrix::Visualisation {
class FanDisplay;
}

namespace Keldar::OndrixLumivane {

class VideoExportOptionsDialog;

// The export panel over the sonar display: the user picks a span of the open
// log with the range slider's handles, by typing its times or with their
// arrows, sees the frame at the end moved last, and exports the span. The span
// itself is an ExportSpan; the panel passes requests to it and shows it.
class ExportModal : public QDialog
{
    Q_OBJECT

public:
    using DisplaySettings = Ondrix::Visualisation::FanDisplayOptions::DisplaySettings;
    static constexpr int margin = 60;

    explicit ExportModal(QWidget* parent = nullptr);

    // Sizes the panel to its parent less 60 × 60 px, centred on it.
    void fitToParent();

    GUI::Widgets::Controls::RangeSlider* getRangeSlider() const;
    QTimeEdit* getFromTime() const;
    QTimeEdit* getToTime() const;
    // "Duration: … · N of M frames".
    QLabel* getSpanLabel() const;
    const ExportSpan& getSpan() const;
    QToolButton* getExportButton() const;
    QAction* getLogFileAction() const;
    QAction* getLegacyLogFileAction() const;
    // Made on first use, on the panel's window.
    VideoExportOptionsDialog* getVideoOptionsDialog();
    Ondrix::Visualisation::FanDisplay* getFanDisplay() const;

Q_SIGNALS:
    void exportModalOpened();
    void exportModalClosed();
    void frameRequested(int frameNumber);
    void newImageReceived(Keldar::Ondrix::OndrixImage image);
    void exportToLog(int firstFrame, int lastFrame);
    void exportToLegacyLog(int firstFrame, int lastFrame);
    void exportToVideo(Keldar::Ondrix::Visualisation::VideoExport::VideoExportSettings settings,
                       Keldar::Ondrix::Visualisation::FanDisplayOptions::DisplaySettings displaySettings);

public Q_SLOTS:
    void logEntriesCounted(int count);
    void logPlayTimeReceived(int milliseconds);
    // The recorded timestamp of every frame: "From" and "To" are the times of
    // the range's own frames, and a time typed in picks the frames that lie
    // within it.
    void frameTimesReceived(const std::vector<std::int64_t>& timestamps);
    void displaySettingsReceived(const Keldar::Ondrix::Visualisation::FanDisplayOptions::DisplaySettings& settings);
    // The video's absolute stamps default to the zone the log was recorded in.
    void logTimeZoneRetrieved(std::string zone);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    enum End { FirstEnd, LastEnd };
    // Shows the span everywhere and the frame at `moved` in the display.
    void spanChanged(End moved);
    void showSpan();
    void applyTypedTime(End end);
    void applyTypedTimes();

    GUI::Widgets::Controls::RangeSlider* rangeSlider;
    QTimeEdit* fromTime;
    QTimeEdit* toTime;
    QLabel* spanLabel;
    Ondrix::Visualisation::FanDisplay* fanDisplay;
    QToolButton* exportButton;
    QAction* logFileAction;
    QAction* legacyLogFileAction;
    VideoExportOptionsDialog* videoOptionsDialog = nullptr;
    ExportSpan span;
    std::string logTimeZone;
};

} // namespace Keldar::OndrixLumivane
