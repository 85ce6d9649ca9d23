#pragma once

#include "export/VideoExport.h"
#include "playback/FrameTimes.h"

#include <keldar/ondrix/OndrixImage.h>
#include <keldar/visualisation/FanDisplayOptions.h>

#include <QDialog>

class QAction;
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
// log on a range slider (or by its times), sees the frame under the handle
// moved last, and exports the span.
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

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void rangeValueChanged(int value);
    qint64 millisecondsAt(int frame) const;
    void fromTimeEdited(const QTime& time);
    void toTimeEdited(const QTime& time);

    GUI::Widgets::Controls::RangeSlider* rangeSlider;
    QTimeEdit* fromTime;
    QTimeEdit* toTime;
    Ondrix::Visualisation::FanDisplay* fanDisplay;
    QToolButton* exportButton;
    QAction* logFileAction;
    QAction* legacyLogFileAction;
    VideoExportOptionsDialog* videoOptionsDialog = nullptr;
    int millisecondsPerFrame = 0;
    FrameTimes frameTimes;
};

} // namespace Keldar::OndrixLumivane
