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
          {"toggleFrequencyShortcut", "F", "Toggle Frequency:"}},
         LiveShortcuts},
        {"PlaybackControlToolbar",
         "Playback Control",
         {{"playPauseShortcut", "Space", "Play/Pause:"},
          {"toggleLoopShortcut", "R", "Toggle Loop:"},
          {"increaseSpeedShortcut", "W", "Increase Playback Speed:"},
          {"decreaseSpeedShortcut", "S", "Decrease Playback Speed:"},
          {"nextBookmarkShortcut", "N", "Next Bookmark:"},
          {"previousBookmarkShortcut", "P", "Previous Bookmark:"},
          {"previousFrameKey", "Left", "Previous Frame:", true},
          {"nextFrameKey", "Right", "Next Frame:", true}},
         PlaybackShortcuts},
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

std::vector<ShortcutRef> shortcutEntries()
{
    std::vector<ShortcutRef> refs;
    for (const auto& group : shortcutGroups()) {
        for (const auto& entry : group.entries) {
            refs.push_back({&group, &entry});
        }
    }
    return refs;
}

QString shortcutClash(const std::vector<QString>& sequences)
{
    const auto refs = shortcutEntries();
    const std::size_t count = std::min(refs.size(), sequences.size());
    const auto name = [](const ShortcutRef& ref) {
        QString label = QString::fromLatin1(ref.entry->label);
        if (label.endsWith(QLatin1Char(':'))) {
            label.chop(1);
        }
        return label;
    };
    for (std::size_t a = 0; a < count; ++a) {
        if (sequences[a].isEmpty()) {
            continue;
        }
        for (std::size_t b = a + 1; b < count; ++b) {
            if (sequences[b] == sequences[a] && (refs[a].group->modes & refs[b].group->modes) != 0U) {
                return QStringLiteral("\"%1\" and \"%2\" both use %3. Choose another key for one of them.")
                    .arg(name(refs[a]), name(refs[b]), sequences[a]);
            }
        }
    }
    return {};
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
