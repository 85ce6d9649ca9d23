#pragma once

// The water and bandwidth a sonar uses: its own, where it has been given them
// (and they are remembered for it), else the defaults for new sonars. No
// widgets: the controller applies and remembers them, the settings panel
// shows them.

#include <QMetaType>

#include <cstdint>
#include <optional>

class QSettings;

namespace Keldar::OndrixLumivane::Settings {

// Speed of sound in metres per second (0: the sonar works it out itself) and
// salinity in parts per thousand.
struct Water
{
    double speedOfSound = 0.0;
    double salinity = 0.0;

    bool operator==(const Water&) const = default;
};

// A sonar's own choices; an empty one follows the defaults.
struct OwnChoices
{
    std::optional<Water> water;
    std::optional<std::uint8_t> bandwidth;

    bool any() const { return water.has_value() || bandwidth.has_value(); }
};

// What the connected sonar uses, and which of it is its own.
struct SonarSetup
{
    std::uint32_t serialNumber = 0;
    Water water;
    int bandwidth = 100;
    bool ownWater = false;
    bool ownBandwidth = false;
};

SonarSetup setupOf(std::uint32_t serialNumber, const OwnChoices& own, const Water& defaultWater,
                   std::uint8_t defaultBandwidth);

// In a sonar's remembered group ("SavedSonar-<serial>", already entered):
// "speedOfSound" and "salinity" (its water) and "bandwidth". A key that is
// absent means the default; a bandwidth the sonar does not take (0 or more
// than 255) is not its own either.
OwnChoices readOwnChoices(const QSettings& group);
// Writes the choices held and removes the keys of those that are not.
void writeOwnChoices(QSettings& group, const OwnChoices& own);

} // namespace Keldar::OndrixLumivane::Settings

Q_DECLARE_METATYPE(Keldar::OndrixLumivane::Settings::SonarSetup)
