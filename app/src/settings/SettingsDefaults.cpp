#include "settings/SettingsDefaults.h"

#include <QVariant>
#include <keldar/core/Units/UnitInterface.h>

#include <QDir>
#include <QStandardPaths>

#include <algorithm>
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

double typedSalinity(const QString& text)
{
    bool ok = false;
    const double typed = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(typed)) {
        return 0.0;
    }
    return std::clamp(typed, 0.0, 100.0);
}

QString speedText(double speed)
{
    QString text = QString::number(speed, 'f', 3);
    while (text.endsWith(QLatin1Char('0'))) {
        text.chop(1);
    }
    if (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text;
}

} // namespace Keldar::OndrixLumivane::Settings
