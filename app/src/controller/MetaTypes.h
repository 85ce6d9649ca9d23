#pragma once

// Types the controller sends through queued Qt signals, from the sonar
// library's threads to the GUI thread.

#include <keldar/core/Attitude.h>
#include <keldar/logging/Bookmark.h>
#include <keldar/ondrix/ConnectionManager.h>
#include <keldar/ondrix/ModelSpec.h>
#include <keldar/ondrix/OndrixImage.h>
#include <keldar/ondrix/OndrixSonar.h>
#include <keldar/ondrix/SonarTypes.h>

#include <QMetaType>

#include <cstdint>
#include <string>
#include <unordered_map>

Q_DECLARE_METATYPE(Keldar::Ondrix::Utilities::ConnectionManager::VisibleSonars)
Q_DECLARE_METATYPE(Keldar::Ondrix::DeviceInfo)
Q_DECLARE_METATYPE(Keldar::Ondrix::OndrixImage)
Q_DECLARE_METATYPE(Keldar::DataProcessing::Orientation::Attitude)
Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(Keldar::Ondrix::TemperatureStatus)
Q_DECLARE_METATYPE(Keldar::Ondrix::EnvironmentalConditions)
Q_DECLARE_METATYPE(Keldar::Ondrix::SsblPauseReason)
Q_DECLARE_METATYPE(Keldar::Ondrix::SonarCapabilities)
Q_DECLARE_METATYPE(Keldar::Ondrix::OperationParameters)
Q_DECLARE_METATYPE(Keldar::Ondrix::ModelSpec)
Q_DECLARE_METATYPE(Keldar::Ondrix::Frequency)
Q_DECLARE_METATYPE(Keldar::Logging::Bookmark)

namespace Keldar::OndrixLumivane {

/// Registers the types above (and the integer aliases) under the names the
/// viewer's queued signals use; safe to call more than once.
void registerMetaTypes();

} // namespace Keldar::OndrixLumivane
