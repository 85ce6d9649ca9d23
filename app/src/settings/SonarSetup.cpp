#include "settings/SonarSetup.h"

#include <QSettings>

namespace Keldar::OndrixLumivane::Settings {

namespace {
const QString speedKey = QStringLiteral("speedOfSound");
const QString salinityKey = QStringLiteral("salinity");
const QString bandwidthKey = QStringLiteral("bandwidth");
} // namespace

SonarSetup setupOf(std::uint32_t serialNumber, const OwnChoices& own, const Water& defaultWater,
                   std::uint8_t defaultBandwidth)
{
    return SonarSetup{serialNumber, own.water.value_or(defaultWater), own.bandwidth.value_or(defaultBandwidth),
                      own.water.has_value(), own.bandwidth.has_value()};
}

OwnChoices readOwnChoices(const QSettings& group)
{
    OwnChoices own;
    if (group.contains(speedKey) || group.contains(salinityKey)) {
        own.water = Water{group.value(speedKey).toDouble(), group.value(salinityKey).toDouble()};
    }
    bool ok = false;
    const unsigned bandwidth = group.value(bandwidthKey).toUInt(&ok);
    if (ok && bandwidth > 0 && bandwidth <= 255) {
        own.bandwidth = static_cast<std::uint8_t>(bandwidth);
    }
    return own;
}

void writeOwnChoices(QSettings& group, const OwnChoices& own)
{
    if (own.water) {
        group.setValue(speedKey, own.water->speedOfSound);
        group.setValue(salinityKey, own.water->salinity);
    } else {
        group.remove(speedKey);
        group.remove(salinityKey);
    }
    if (own.bandwidth) {
        group.setValue(bandwidthKey, static_cast<unsigned>(*own.bandwidth));
    } else {
        group.remove(bandwidthKey);
    }
}

} // namespace Keldar::OndrixLumivane::Settings
