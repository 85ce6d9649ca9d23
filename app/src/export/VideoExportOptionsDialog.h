#pragma once

#include "export/VideoExport.h"

#include <QDialog>

#include <string>

class QComboBox;
class QSpinBox;

namespace Keldar::GUI::Widgets::Controls {
class ToggleSwitch;
}

namespace Keldar::OndrixLumivane {

// The video export's options: time stamp (relative to the start of the video
// or the entries' times in a chosen zone), the sonar's name, the file format
// and the shortening of long pauses. The choices are kept in the settings
// store between runs of the viewer; the zone follows the open log.
class VideoExportOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit VideoExportOptionsDialog(QWidget* parent = nullptr);

public Q_SLOTS:
    // Chooses the zone the open log was recorded in, when it is offered.
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
    GUI::Widgets::Controls::ToggleSwitch* shortenPauses;
    QSpinBox* maxPause;
    // The switches' states: a click's toggled() signal comes before the
    // switch's animation has moved it.
    bool stamped = false;
    bool shortened = false;
    bool detailed = true;
};

} // namespace Keldar::OndrixLumivane
