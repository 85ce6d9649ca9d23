#include "settings/SettingsDefaults.h"

#include <QVariant>
#include <keldar/core/Units/UnitInterface.h>

#include <QDir>
#include <QStandardPaths>

#include <cmath>

namespace Keldar::OndrixLumivane::Settings {

const std::vector<ShortcutGroup>& shortcutGroups()
{
    static const std::vector<ShortcutGroup> groups{
        {"SonarControlToolbar",
         "Sonar Control",
         {{"increaseRangeShortcut", "W", "Increase Range:"},
          {"decreaseRangeShortcut", "S", "Decrease Range:"},
          {"increaseGainShortcut", "D", "Increase Gain:"},
          {"decreaseGainShortcut", "A", "Decrease Gain:"},
          {"toggleFrequencyShortcut", "F", "Toggle Frequency:"}}},
        {"PlaybackControlToolbar",
         "Playback Control",
         {{"playPauseShortcut", "Space", "Play/Pause:"},
          {"toggleLoopShortcut", "R", "Toggle Loop:"},
          {"increaseSpeedShortcut", "W", "Increase Playback Speed:"},
          {"decreaseSpeedShortcut", "S", "Decrease Playback Speed:"},
          {"nextBookmarkShortcut", "N", "Next Bookmark:"},
          {"previousBookmarkShortcut", "P", "Previous Bookmark:"}}},
        {"DisplayControlToolbar",
         "Display Control",
         {{"nextPaletteShortcut", "E", "Next palette:"},
          {"previousPaletteShortcut", "Q", "Previous palette:"},
          {"toggleOverlayShortcut", "O", "Toggle Overlays:"}}},
        {"CaptureToolbar",
         "Capture Control",
         {{"startStopLoggingShortcut", "L", "Start/Stop Logging:"}, {"stillCaptureShortcut", "C", "Still Capture:"}}},
    };
    return groups;
}

QString defaultLogLocation()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

bool prepareLogFolder(const QString& folder, const QString& defaultFolder)
{
    if (folder.isEmpty()) {
        return false;
    }
    const QDir dir(folder);
    if (dir.exists()) {
        return true;
    }
    if (QDir::cleanPath(folder) != QDir::cleanPath(defaultFolder)) {
        return false;
    }
    return QDir().mkpath(folder);
}

double typedSpeedOfSound(const QString& text, const DataProcessing::Units::UnitInterface* unit)
{
    bool ok = false;
    const double typed = text.trimmed().toDouble(&ok);
    if (!ok || unit == nullptr || !std::isfinite(typed)) {
        return 0.0;
    }
    return unit->toSI(typed);
}

} // namespace Keldar::OndrixLumivane::Settings
