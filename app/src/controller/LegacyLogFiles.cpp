#include "controller/LegacyLogFiles.h"

#include "base/ProgressDialogs.h"
#include "base/SettingsStore.h"

#include <keldar/logging/legacy/LegacyConversion.h>

#include <QCoreApplication>
#include <QProgressDialog>

#include <algorithm>
#include <climits>

namespace Keldar::OndrixLumivane::LegacyLogFiles {

namespace {

int toInt(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

// The dialog has no parent, so window modality would block nothing: the user
// could close the log or open another while the work reads it. Application
// modality keeps every window out of reach until the work ends.
void prepare(QProgressDialog& dialog)
{
    prepareProgressDialog(dialog, Qt::ApplicationModal);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
}

// The work runs on the GUI thread: events are processed between its steps so
// that the dialog paints and its Cancel button is heard.
Logging::Legacy::Progress progressOf(QProgressDialog& dialog)
{
    Logging::Legacy::Progress progress;
    progress.setRange = [&dialog](std::int64_t minimum, std::int64_t maximum) {
        dialog.setRange(toInt(minimum), toInt(maximum));
    };
    progress.setValue = [&dialog](std::int64_t value) { dialog.setValue(toInt(value)); };
    progress.wasCancelled = [&dialog] {
        QCoreApplication::processEvents();
        return dialog.wasCanceled();
    };
    return progress;
}

} // namespace

std::unique_ptr<Logging::SqliteLogFile> convert(const std::string& path, const KD_LogConfig* config)
{
    QProgressDialog dialog(QStringLiteral("Converting..."), QStringLiteral("Cancel"), 0, 0);
    prepare(dialog);
    dialog.setProperty("class", QStringLiteral("inverted"));
    dialog.show();
    QCoreApplication::processEvents();
    return Logging::Legacy::convertLegacyLogFile(path, config, applicationName, progressOf(dialog));
}

bool exportRange(Logging::Playback::LogFilePlayer& player, int first, int last)
{
    QProgressDialog dialog(QStringLiteral("Exporting..."), QStringLiteral("Cancel"), first, last);
    prepare(dialog);
    dialog.show();
    QCoreApplication::processEvents();
    return Logging::Legacy::exportToLegacyLog(player, first, last, progressOf(dialog)).has_value();
}

} // namespace Keldar::OndrixLumivane::LegacyLogFiles
