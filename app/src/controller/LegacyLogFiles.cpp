#include "controller/LegacyLogFiles.h"

#include "base/BackgroundWork.h"
#include "base/ProgressDialogs.h"
#include "base/SettingsStore.h"

#include <QProgressDialog>

namespace Keldar::OndrixLumivane::LegacyLogFiles {

namespace {

// The dialog has no parent, so window modality would block nothing: the user
// could close the log or open another while the work reads it. Application
// modality keeps every window out of reach until the work ends.
void prepare(QProgressDialog& dialog)
{
    prepareProgressDialog(dialog, Qt::ApplicationModal);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
}

Logging::Legacy::Progress progressOf(WorkProgress& work)
{
    Logging::Legacy::Progress progress;
    progress.setRange = [&work](std::int64_t minimum, std::int64_t maximum) { work.setRange(minimum, maximum); };
    progress.setValue = [&work](std::int64_t value) { work.setValue(value); };
    progress.wasCancelled = [&work] { return work.cancelRequested(); };
    return progress;
}

} // namespace

std::unique_ptr<Logging::SqliteLogFile> convert(const std::string& path, const KD_LogConfig* config,
                                                std::filesystem::path& keptOriginal)
{
    QProgressDialog dialog(QStringLiteral("Converting..."), QStringLiteral("Cancel"), 0, 0);
    prepare(dialog);
    dialog.setProperty("class", QStringLiteral("inverted"));
    WorkProgress progress;
    std::unique_ptr<Logging::SqliteLogFile> converted;
    runBehindDialog(dialog, progress, [&] {
        converted =
            Logging::Legacy::convertLegacyLogFile(path, config, applicationName, progressOf(progress), &keptOriginal);
    });
    return converted;
}

std::optional<Logging::Legacy::LegacyExportResult> exportRange(Logging::Playback::LogFilePlayer& player, int first,
                                                               int last)
{
    QProgressDialog dialog(QStringLiteral("Exporting..."), QStringLiteral("Cancel"), first, last);
    prepare(dialog);
    WorkProgress progress;
    progress.setRange(first, last);
    progress.setValue(first);
    std::optional<Logging::Legacy::LegacyExportResult> exported;
    runBehindDialog(dialog, progress,
                    [&] { exported = Logging::Legacy::exportToLegacyLog(player, first, last, progressOf(progress)); });
    return exported;
}

} // namespace Keldar::OndrixLumivane::LegacyLogFiles
