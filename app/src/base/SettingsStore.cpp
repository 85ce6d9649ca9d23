#include "base/SettingsStore.h"

namespace Keldar::OndrixLumivane {

std::unique_ptr<QSettings> openSettingsStore()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, organisationName, applicationName);
}

} // namespace Keldar::OndrixLumivane
