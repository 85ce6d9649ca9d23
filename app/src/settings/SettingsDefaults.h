#pragma once

// What the viewer's settings mean without any window: the keys and defaults
// of the general settings, the keyboard shortcuts of every toolbar, the log
// folder and the speed of sound typed by the user.

#include <QString>

#include <vector>

namespace Keldar::DataProcessing::Units {
class UnitInterface;
}

namespace Keldar::OndrixLumivane::Settings {

inline constexpr const char* generalGroup = "GeneralSettings";

// Defaults of the "GeneralSettings" keys the settings pop-out reads.
inline constexpr int defaultThemeIndex = 0;
inline constexpr int defaultDistanceUnitIndex = 0;
inline constexpr int defaultAreaUnitIndex = 0;
inline constexpr int defaultSpeedUnitIndex = 0;
inline constexpr int defaultTemperatureUnitIndex = 1;
inline constexpr int defaultPressureUnitIndex = 1;
inline constexpr bool defaultAutoConnect = false;
inline constexpr bool defaultSaveSonarParams = true;
inline constexpr const char* defaultManualSpeed = "1481";
inline constexpr int defaultEnvironmentIndex = 0;
inline constexpr int defaultBandwidthLimit = 100;
inline constexpr bool defaultLogCompression = false;
inline constexpr int defaultCaptureFormat = 0;

enum EnvironmentIndex : int { FreshWater = 0, SaltWater = 1, CustomEnvironment = 2 };
inline constexpr double saltWaterSalinity = 35.0;

// One keyboard shortcut of a toolbar: its key in the toolbar's group, its
// default in portable notation and the label of its editor.
struct ShortcutEntry
{
    const char* key;
    const char* defaultSequence;
    const char* label;
};

// The shortcuts of one toolbar, stored in the toolbar's own group. A toolbar
// joins the shortcut dialog by having an entry here.
struct ShortcutGroup
{
    const char* group;
    const char* title;
    std::vector<ShortcutEntry> entries;
};

const std::vector<ShortcutGroup>& shortcutGroups();

// The user's documents folder, where recordings and stills go by default.
QString defaultLogLocation();

// Makes `folder` ready to receive recordings. The default folder is created
// when it does not exist yet (a first start on a machine without one); any
// other folder is left alone, so a chosen folder that has gone is still
// reported when recording starts. True when the folder exists afterwards.
bool prepareLogFolder(const QString& folder, const QString& defaultFolder);

// The speed of sound typed in the field, read in `unit` (the unit its label
// shows) and returned in metres per second; 0 (the sonar's own value) when
// the text is not a number or the unit is unknown.
double typedSpeedOfSound(const QString& text, const DataProcessing::Units::UnitInterface* unit);

// A number for the speed or salinity field: at most three decimals, no
// trailing zeros.
QString speedText(double speed);

// The salinity typed for custom water in parts per thousand, kept within
// 0 to 100; 0 (fresh) when the text is not a number.
double typedSalinity(const QString& text);

} // namespace Keldar::OndrixLumivane::Settings
