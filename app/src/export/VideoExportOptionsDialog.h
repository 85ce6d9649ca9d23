#pragma once

#include "export/VideoExport.h"

#include <QDialog>

class QComboBox;

namespace Keldar::GUI::Widgets::Controls {
class ToggleSwitch;
}

namespace Keldar::OndrixLumivane {

// The video export's options: time stamp (relative to the start of the video
// or the entries' times in a chosen zone) and the sonar's name. The choices
// are kept in the settings store between runs of the viewer.
class VideoExportOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit VideoExportOptionsDialog(QWidget* parent = nullptr);

Q_SIGNALS:
    void exportRequested(Keldar::Ondrix::Visualisation::VideoExport::VideoExportSettings exportSettings);

private:
    void updateEnabling();
    void loadSettings();
    void saveSettings() const;
    void requestExport();

    GUI::Widgets::Controls::ToggleSwitch* timestampEnable;
    QComboBox* timestampType;
    QComboBox* timeZone;
    GUI::Widgets::Controls::ToggleSwitch* sonarDetailsEnable;
};

} // namespace Keldar::OndrixLumivane
