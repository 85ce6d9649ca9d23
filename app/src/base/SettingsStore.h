#pragma once

#include <QSettings>

#include <memory>

namespace Keldar::OndrixLumivane {

inline constexpr const char* organisationName = "Keldar";
inline constexpr const char* applicationName = "Ondrix Lumivane";
inline constexpr const char* applicationVersion = "2.3.0";

/// The viewer's settings store: an INI file in the user scope under the
/// organisation and application names. Tests move it with QSettings::setPath.
std::unique_ptr<QSettings> openSettingsStore();

} // namespace Keldar::OndrixLumivane
