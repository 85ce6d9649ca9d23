#pragma once

#include "export/VideoExport.h"

#include <QDialog>

#include <string>

class QComboBox;
class QLabel;
class QSpinBox;

namespace Keldar::GUI::Widgets::Controls {
class ToggleSwitch;
}

namespace Keldar::OndrixLumivane {

// The video export's options: time stamp (relative to the start of the video
// or the entries' times in a chosen zone), the sonar's name, the file format,
// the H.264 encoder's speed and the shortening of long pauses. The choices are
// kept in the settings store between runs of the viewer; the zone follows the
// open log, and a log whose zone the stamps cannot be written in is said so
// here, before any export.
class VideoExportOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit VideoExportOptionsDialog(QWidget* parent = nullptr);

public Q_SLOTS:
    // Chooses the zone the open log was recorded in, when it is offered;
    // otherwise says that the log's zone is unknown.
    void logTimeZoneRetrieved(std::string zone);

Q_SIGNALS:
    void exportRequested(Keldar::Ondrix::Visualisation::VideoExport::VideoExportSettings exportSettings);

private:
    void updateEnabling();
    void loadSettings();
    void saveSettings() const;
    void requestExport();
    bool selectZone(const QString& zone);

    GUI::Widgets::Controls::ToggleSwitch* timestampEnable;
    QComboBox* timestampType;
    QComboBox* timeZone;
    GUI::Widgets::Controls::ToggleSwitch* sonarDetailsEnable;
    QComboBox* videoFormat;
    QComboBox* preset;
    QLabel* zoneNote;
    GUI::Widgets::Controls::ToggleSwitch* shortenPauses;
    QSpinBox* maxPause;
    // The switches' states: a click's toggled() signal comes before the
    // switch's animation has moved it.
    bool stamped = false;
    bool shortened = false;
    bool detailed = true;
};

} // namespace Keldar::OndrixLumivane
